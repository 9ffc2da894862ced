#include "platform/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace platform {
namespace {

// Converts with iconv, replacing each input unit that cannot be converted (or
// is incomplete at the end) by `replacement`.
std::string iconv_convert(const char* to, const char* from, std::string_view in,
                          std::size_t in_unit, std::string_view replacement) {
  std::string out;
  if (in.empty()) return out;
  iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  out.resize(in.size() * 4 + 16);
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  std::size_t used = 0;
  while (src_left > 0) {
    char* dst = out.data() + used;
    std::size_t dst_left = out.size() - used;
    std::size_t r = ::iconv(cd, &src, &src_left, &dst, &dst_left);
    used = out.size() - dst_left;
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ or EINVAL: skip one unit and put the replacement in its place.
    std::size_t skip = std::min(in_unit, src_left);
    src += skip;
    src_left -= skip;
    if (out.size() - used < replacement.size()) out.resize(out.size() * 2 + replacement.size());
    std::memcpy(out.data() + used, replacement.data(), replacement.size());
    used += replacement.size();
  }
  out.resize(used);
  ::iconv_close(cd);
  return out;
}

std::string_view wide_bytes(std::wstring_view text) {
  return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)};
}

std::wstring wide_from_bytes(const std::string& bytes) {
  std::wstring out(bytes.size() / sizeof(wchar_t), L'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * sizeof(wchar_t));
  return out;
}

constexpr char32_t kReplacement = U'?';

void append_utf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes UTF-8; malformed sequences give one replacement per bad byte.
std::u32string decode_utf8(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (len == 0 || i + len > s.size()) {
      out += kReplacement;
      ++i;
      continue;
    }
    char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = true;
    for (int k = 1; k < len; ++k) {
      auto cb = static_cast<unsigned char>(s[i + k]);
      if ((cb & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (cb & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!ok || c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out += kReplacement;
      ++i;
      continue;
    }
    out += c;
    i += static_cast<std::size_t>(len);
  }
  return out;
}

std::u32string decode_u16(std::u16string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      out += static_cast<char32_t>(0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      out += kReplacement;
    } else {
      out += c;
    }
  }
  return out;
}

std::u16string encode_u16(std::u32string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (char32_t c : s) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::u32string as_u32(std::wstring_view s) { return {s.begin(), s.end()}; }
std::wstring as_wide(std::u32string_view s) { return {s.begin(), s.end()}; }

}  // namespace

std::string cp936_from_wide(std::wstring_view text) {
  return iconv_convert("CP936", "WCHAR_T", wide_bytes(text), sizeof(wchar_t), "?");
}

std::wstring wide_from_cp936(std::string_view text) {
  const wchar_t q = L'?';
  return wide_from_bytes(iconv_convert("WCHAR_T", "CP936", text, 1,
                                       {reinterpret_cast<const char*>(&q), sizeof q}));
}

std::string cp936_from_u16(std::u16string_view text) {
  return cp936_from_wide(wide_from_u16(text));
}

std::u16string u16_from_cp936(std::string_view text) {
  return u16_from_wide(wide_from_cp936(text));
}

std::string latin1_from_u16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out += c <= 0xFF ? static_cast<char>(c) : '?';
  return out;
}

std::u16string u16_from_latin1(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out += static_cast<char16_t>(static_cast<unsigned char>(c));
  return out;
}

std::string latin1_from_wide(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) out += (c >= 0 && c <= 0xFF) ? static_cast<char>(c) : '?';
  return out;
}

std::wstring wide_from_latin1(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (char c : text) out += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

std::string utf8_from_wide(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) append_utf8(out, static_cast<char32_t>(c));
  return out;
}

std::wstring wide_from_utf8(std::string_view text) { return as_wide(decode_utf8(text)); }

std::string utf8_from_u16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : decode_u16(text)) append_utf8(out, c);
  return out;
}

std::u16string u16_from_utf8(std::string_view text) { return encode_u16(decode_utf8(text)); }
std::u16string u16_from_wide(std::wstring_view text) { return encode_u16(as_u32(text)); }
std::wstring wide_from_u16(std::u16string_view text) { return as_wide(decode_u16(text)); }

std::string utf16le_bytes(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

std::u16string u16_from_utf16le(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return out;
}

}  // namespace platform
