// Search paths, home and temporary directories, and path-string operations.
// The domains map to the literal macOS folders: user ~/Library, local
// /Library, network /Network/Library, system /System/Library.
#pragma once

#include <string>
#include <vector>

namespace platform {

enum class SearchPathDirectory : unsigned {
  Library = 5,              // <domain>/Library
  CoreServices = 10,        // /System/Library/CoreServices (system domain only)
  ApplicationSupport = 14,  // <domain>/Library/Application Support
};

enum SearchPathDomainMask : unsigned {
  UserDomainMask = 1,
  LocalDomainMask = 2,
  NetworkDomainMask = 4,
  SystemDomainMask = 8,
  AllDomainsMask = 0x0ffff,
};

// The folders of `directory` in the domains of `mask`, in the order user,
// local, network, system (only the domains in the mask; a domain where the
// directory does not exist, such as CoreServices outside the system domain,
// gives nothing). With `expandTilde` false user paths keep a leading "~".
// The folders need not exist on disk.
std::vector<std::string> searchPathsForDirectoriesInDomains(SearchPathDirectory directory,
                                                            unsigned mask, bool expandTilde);

// The user's home: HOME when set and not empty, else the password database
// entry of the real user id; "/" when neither gives one.
std::string homeDirectory();

// The user's private temporary directory, with a trailing "/": TMPDIR when set
// and a directory; otherwise /tmp/vantor-<uid>/ created with mode 0700 and
// checked to be a real directory (not a link) owned by the user with no
// access for others. Returns the empty string when no such directory can be
// had (callers then fall back to the home directory).
std::string temporaryDirectory();

// Path strings, with the rules of the platform's path operations:
// appendPathComponent("a", "b") is "a/b", "a/" + "b" is "a/b", "" + "b" is "b",
// and a component with several parts ("x/y") is appended as it is.
std::string appendPathComponent(const std::string& base, const std::string& component);
// "/a/b.c" gives "b.c"; "/a/b/" gives "b"; "/" gives "/".
std::string lastPathComponent(const std::string& path);
// "/a/b" gives "/a"; "a" gives ""; "/a" gives "/".
std::string deletingLastPathComponent(const std::string& path);
// The path with every symbolic link in it resolved, when it exists; the path
// unchanged when it cannot be resolved.
std::string resolvingSymlinksInPath(const std::string& path);

}  // namespace platform
