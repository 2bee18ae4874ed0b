// File-system queries and changes, as the file manager answers them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// True when something exists at `path`; a symbolic link counts only when its
// target exists. `isDirectory` (optional) tells whether it is a directory,
// after following links.
bool fileExistsAtPath(const std::string& path, bool* isDirectory = nullptr);

// The POSIX permission bits (mode & 07777) of the item itself (a final link
// is not followed, as for the item's attributes), or none when there is no
// such item.
std::optional<std::uint32_t> posixPermissionsOfItemAtPath(const std::string& path);

// Sets the POSIX permission bits of the item at `path` (links followed).
// Returns true on success.
bool setPosixPermissionsOfItemAtPath(std::uint32_t permissions, const std::string& path);

// Removes the file, link or directory tree at `path`. Returns true when it was
// removed, false when it did not exist or could not be removed.
bool removeItemAtPath(const std::string& path);

}  // namespace platform
