// The interface language. The texts as written (Chinese) are the source; an
// English translation comes from Qt's translation system (brevanta_en.qm in
// the pictures folder). tx() is the one way a text reaches a widget: it is
// not QObject::tr, whose context would be each class's name.
#pragma once

#include <QString>

#include <string_view>

namespace ui {

inline constexpr char kTextContext[] = "brevanta";

// "en" or "zh": the --lang option when given, else from the locale's name
// ("en_GB.UTF-8"): Chinese for zh_* and the C/POSIX locale, English otherwise.
// Empty when the option names another language.
QString choose_language(const QString& option, const QString& locale_name);

// Installs the translation of language from folder (English: brevanta_en.qm)
// for the widgets and for the model's texts. "zh" needs none. False when the
// file is missing or unreadable; the interface then stays Chinese.
bool install_language(const QString& language, const QString& folder);

// True once an English translation is installed.
bool english();

QString tx(const char* source);  // UTF-8
QString tx(std::u16string_view source);

}  // namespace ui
