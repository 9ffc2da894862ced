#include "ui/i18n.h"

#include <QCoreApplication>
#include <QTranslator>

#include <memory>

#include "controls/skin.h"
#include "model/i18n.h"
#include "ui/message_box.h"

namespace ui {

namespace {
bool g_english = false;
}  // namespace

QString choose_language(const QString& option, const QString& locale_name) {
  if (!option.isEmpty()) {
    const QString o = option.toLower();
    return o == QLatin1String("en") || o == QLatin1String("zh") ? o : QString();
  }
  if (locale_name.isEmpty() || locale_name == QLatin1String("C") ||
      locale_name.startsWith(QLatin1String("C.")) || locale_name == QLatin1String("POSIX") ||
      locale_name.startsWith(QLatin1String("zh")))
    return QStringLiteral("zh");
  return QStringLiteral("en");
}

bool install_language(const QString& language, const QString& folder) {
  if (language != QLatin1String("en")) return language == QLatin1String("zh");
  auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
  if (!translator->load(QStringLiteral("brevanta_en.qm"), folder)) return false;
  if (!QCoreApplication::installTranslator(translator.get())) return false;
  translator.release();  // owned by the application object
  g_english = true;
  model::set_translation([](std::u16string_view s) { return u16(tx(s)); });
  skin::set_picture_language(QStringLiteral("en"));
  return true;
}

bool english() {
  return g_english;
}

QString tx(const char* source) {
  return QCoreApplication::translate(kTextContext, source);
}

QString tx(std::u16string_view source) {
  const QByteArray utf8 =
      QString::fromUtf16(source.data(), static_cast<qsizetype>(source.size())).toUtf8();
  return QCoreApplication::translate(kTextContext, utf8.constData());
}

}  // namespace ui
