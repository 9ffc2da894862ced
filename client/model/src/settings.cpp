#include "model/settings.h"

#include "platform/text.h"

namespace model {

std::u16string_view plan_day_name(int day) {
  static constexpr std::u16string_view kNames[kPlanDays] = {
      u"星期一", u"星期二", u"星期三", u"星期四", u"星期五", u"星期六", u"星期天"};
  return day >= 0 && day < kPlanDays ? kNames[day] : std::u16string_view{};
}

int plan_day_for_weekday(int weekday_from_sunday) {
  const int w = ((weekday_from_sunday % 7) + 7) % 7;
  return (w + 6) % 7;
}

ClientSettings default_settings(int drive_count) {
  ClientSettings s;
  s.end_drive = drive_count - 1;
  return s;
}

std::filesystem::path path_from_text(std::u16string_view text,
                                     const std::vector<platform::Drive>& drives,
                                     const std::filesystem::path& fallback_root) {
  const bool lettered =
      text.size() >= 2 && text[1] == u':' &&
      ((text[0] >= u'A' && text[0] <= u'Z') || (text[0] >= u'a' && text[0] <= u'z'));
  if (!lettered) return std::filesystem::path(platform::utf8_from_u16(text));
  char letter = static_cast<char>(text[0]);
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  std::filesystem::path out = fallback_root;
  for (const auto& d : drives)
    if (d.letter == letter) out = d.root;
  std::u16string rest(text.substr(2));
  std::u16string part;
  auto flush = [&] {
    // ".." would climb out of the drive; such a component is dropped.
    if (!part.empty() && part != u"." && part != u"..") out /= platform::utf8_from_u16(part);
    part.clear();
  };
  for (char16_t c : rest) {
    if (c == u'\\' || c == u'/')
      flush();
    else
      part += c;
  }
  flush();
  return out;
}

std::u16string text_from_path(const std::filesystem::path& path,
                              const std::vector<platform::Drive>& drives) {
  // "a/b/" names the same folder as "a/b".
  const auto trimmed = [](const std::filesystem::path& p) {
    std::filesystem::path n = p.lexically_normal();
    return !n.has_filename() && n != n.root_path() ? n.parent_path() : n;
  };
  const std::filesystem::path target = trimmed(path);
  const platform::Drive* best = nullptr;
  std::filesystem::path best_rest;
  std::size_t best_depth = 0;
  for (const auto& d : drives) {
    const std::filesystem::path root = trimmed(d.root);
    const std::filesystem::path rest = target.lexically_relative(root);
    if (rest.empty() || *rest.begin() == "..") continue;
    const auto depth = static_cast<std::size_t>(std::distance(root.begin(), root.end()));
    if (!best || depth > best_depth) {
      best = &d;
      best_rest = rest;
      best_depth = depth;
    }
  }
  const std::u16string native = platform::u16_from_utf8(path.string());
  if (!best) return native;
  std::u16string text{static_cast<char16_t>(best->letter), u':', u'\\'};
  bool first = true;
  for (const auto& part : best_rest) {
    const std::u16string name = platform::u16_from_utf8(part.string());
    if (name == u"." || name.empty()) continue;
    // Such a name would read back as two folders.
    if (name.find(u'\\') != std::u16string::npos) return native;
    if (!first) text += u'\\';
    text += name;
    first = false;
  }
  return text;
}

}  // namespace model
