// Every message box of the client goes through one interface, so tests record
// the texts in order and answer the questions.
#pragma once

#include <string>
#include <string_view>

namespace model {

enum class Buttons { kOk, kOkCancel };
enum class Answer { kOk, kCancel };

// Caption of message boxes that name none: the program's title.
inline constexpr std::u16string_view kDefaultCaption = u"Brevanta";
inline constexpr std::u16string_view kSystemCaption = u"系统提示";

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual Answer show(std::u16string_view text, std::u16string_view caption, Buttons buttons) = 0;

  void info(std::u16string_view text) { show(text, kDefaultCaption, Buttons::kOk); }
  bool confirm(std::u16string_view text, std::u16string_view caption) {
    return show(text, caption, Buttons::kOkCancel) == Answer::kOk;
  }
};

// Rights failures.
inline constexpr std::u16string_view kNoRight = u"对不起,您无权限进行这项操作";

}  // namespace model
