// File helpers that need the operating system.
#pragma once

#include <filesystem>
#include <span>
#include <string_view>

namespace platform {

// Writes the whole file readable and writable by its owner only (0600), the
// stand-in for hidden + system credential files. Replaces the file atomically.
bool write_owner_only(const std::filesystem::path& path, std::string_view bytes);
// Restricts an existing file to its owner.
bool make_owner_only(const std::filesystem::path& path);
// Writes the file beside and renames it over the old one, so a failure never
// leaves a half-written file in its place.
bool write_file_atomic(const std::filesystem::path& path, std::string_view bytes);

}  // namespace platform
