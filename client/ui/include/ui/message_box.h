// Message boxes of the client: QMessageBox with the text's caption, parented
// to the window that asks.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <string>
#include <string_view>

#include "model/messages.h"

namespace ui {

inline QString qs(std::u16string_view s) {
  return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}
inline std::u16string u16(const QString& s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                        static_cast<std::size_t>(s.size()));
}

class QtMessageSink : public model::MessageSink {
 public:
  explicit QtMessageSink(QWidget* parent = nullptr) : parent_(parent) {}
  void set_parent(QWidget* parent) { parent_ = parent; }
  model::Answer show(std::u16string_view text, std::u16string_view caption,
                     model::Buttons buttons) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace ui
