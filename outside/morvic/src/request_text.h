// The request line's bytes from the caller's wide object text.
#pragma once

#include <string>
#include <string_view>

namespace morvic {

// The object as request-line bytes: controls U+0001-U+001F, blank and DEL as
// "%XX"; a character without an exact CP936 round trip as "%uXXXX" per UTF-16
// unit (lone surrogates and characters beyond U+FFFF included; a value that is
// no character at all as "%uFFFD"); everything else as its CP936 bytes. '%' is
// left alone: the callers write their own escapes.
std::string request_object_bytes(std::wstring_view object);

}  // namespace morvic
