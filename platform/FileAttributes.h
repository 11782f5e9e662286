#pragma once
// The file-attribute query: what a path names, without opening it.
#include <QString>
#include <cstdint>
#include <optional>

namespace platform {

inline constexpr std::uint32_t kFileAttributeReadOnly = 0x1;
inline constexpr std::uint32_t kFileAttributeHidden = 0x2;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;

// Attributes of the file or folder at path (symbolic links followed); nullopt when the
// path names nothing or cannot name anything: empty, wildcards, embedded NUL.
std::optional<std::uint32_t> FileAttributes(const QString& path);

}  // namespace platform
