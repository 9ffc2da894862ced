// Plain value types that cross the libraries' interfaces. No operating-system
// header: the Windows names the interfaces use are defined here once.
#pragma once

#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

// A socket handle crosses interfaces as an unsigned int (a file descriptor).
using SOCKET = unsigned int;
inline constexpr SOCKET INVALID_SOCKET = 0xFFFFFFFFu;
inline constexpr int SOCKET_ERROR = -1;

// Opaque window handle; see platform/window.h.
struct HWND__;
using HWND = HWND__*;

inline constexpr UINT WM_USER = 0x0400;
