#include "model/i18n.h"

#include <utility>

namespace model {

namespace {
Translation& translation() {
  static Translation t;
  return t;
}
}  // namespace

void set_translation(Translation t) {
  translation() = std::move(t);
}

std::u16string tx(std::u16string_view source) {
  const Translation& t = translation();
  return t ? t(source) : std::u16string(source);
}

std::u16string fill_pattern(std::u16string_view pattern, const std::vector<std::u16string>& args) {
  std::u16string out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char16_t next = i + 1 < pattern.size() ? pattern[i + 1] : u'\0';
    if (pattern[i] == u'%' && next >= u'1' && next <= u'9') {
      const auto n = static_cast<std::size_t>(next - u'1');
      if (n < args.size()) out += args[n];
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

std::u16string tx(std::u16string_view pattern, const std::vector<std::u16string>& args) {
  return fill_pattern(tx(pattern), args);
}

}  // namespace model
