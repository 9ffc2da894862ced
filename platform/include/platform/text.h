// Text conversions. Wide text is wchar_t (UTF-32 here) or char16_t (UTF-16);
// 8-bit text on the wire and in files is code page 936 (GBK), except the
// one-byte-per-character lines of configuration files (Latin-1).
// Characters that cannot be converted become '?'.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string cp936_from_wide(std::wstring_view text);
std::wstring wide_from_cp936(std::string_view text);
std::string cp936_from_u16(std::u16string_view text);
std::u16string u16_from_cp936(std::string_view text);

std::string latin1_from_u16(std::u16string_view text);
std::u16string u16_from_latin1(std::string_view text);
std::string latin1_from_wide(std::wstring_view text);
std::wstring wide_from_latin1(std::string_view text);

std::string utf8_from_wide(std::wstring_view text);
std::wstring wide_from_utf8(std::string_view text);
std::string utf8_from_u16(std::u16string_view text);
std::u16string u16_from_utf8(std::string_view text);
std::u16string u16_from_wide(std::wstring_view text);
std::wstring wide_from_u16(std::u16string_view text);

// UTF-16LE bytes (files), without byte-order mark; an odd last byte is dropped.
std::string utf16le_bytes(std::u16string_view text);
std::u16string u16_from_utf16le(std::string_view bytes);

}  // namespace platform
