// Fixture trees for the emulated Mac: one call places a runtime framework, an
// app bundle or a property list where a test wants it. Every function takes
// host paths (EmulatedMac::library(), home(), hostPath(...)), creates missing
// parent folders, replaces what is already there, and throws
// std::runtime_error when the host refuses a write. Links it makes are
// relative, so they resolve inside the emulated Mac too.
#pragma once

#include <map>
#include <string>

#include <sys/types.h>

#include "platform/value.h"

namespace harness {

inline constexpr const char* kFrameworkName = "Brenmoor Vantor.framework";
inline constexpr const char* kAppInstallerBundleName = "Brenmoor Vantor Application Installer.app";
inline constexpr const char* kAppInstallerExecutableName = "Brenmoor Vantor Application Installer";
inline constexpr const char* kRuntimeExecutableName = "Brenmoor Vantor_64";

// ---- files -------------------------------------------------------------------

// Writes `content` to `path` with permissions `mode`.
void writeFile(const std::string& path, const std::string& content, mode_t mode = 0644);
// The whole file, or the empty string when it cannot be read.
std::string readFile(const std::string& path);
// Copies a file (its permissions kept) or a folder with everything in it.
void copyPath(const std::string& from, const std::string& to);

// ---- property lists ------------------------------------------------------------

// The XML property list of `dict` (version 1.0, keys in order, tab indents).
// Written here rather than with the platform's writer so that fixtures do not
// depend on the code under test.
std::string plistXml(const platform::Dictionary& dict);
void writePlist(const std::string& path, const platform::Dictionary& dict);

// ---- the runtime framework ---------------------------------------------------------

struct FrameworkOptions {
  enum class Layout {
    // Versions/1.0/Resources/Info.plist, with the links Versions/Current -> 1.0
    // and Resources -> Versions/Current/Resources, as installed frameworks are.
    Versioned,
    // Resources/Info.plist directly in the framework folder.
    Flat,
  };
  Layout layout = Layout::Versioned;
  // A plain file of the framework's name instead of a folder (nothing else is
  // made).
  bool plainFile = false;
  // false: no Info.plist at all (the Resources folder still exists).
  bool infoPlist = true;
  // false: an Info.plist without the key CFBundleVersion.
  bool bundleVersionKey = true;
  // Host path of an executable copied in as the Application Installer:
  // Versions/1.0/Brenmoor Vantor Application Installer.app/Contents/MacOS/
  // Brenmoor Vantor Application Installer, with its Info.plist. None when empty.
  std::string appInstaller;
  // Host path of a file copied to Versions/1.0/Brenmoor Vantor_64 (the
  // runtime executable); none when empty.
  std::string runtimeExecutable;
  // More keys for the framework's Info.plist (they override the defaults).
  platform::Dictionary extraInfo;
};

// Places "<libraryDir>/Frameworks/Brenmoor Vantor.framework" with
// CFBundleVersion `bundleVersion` (any text: "3.1", " 3 . 1.0.488 x" ...).
// Returns the framework's host path.
std::string installFramework(const std::string& libraryDir,
                             const std::string& bundleVersion = "3.1.0.488",
                             const FrameworkOptions& options = {});
// Removes the framework of `libraryDir`, if any.
void removeFramework(const std::string& libraryDir);

// ---- app bundles -------------------------------------------------------------------

struct AppBundleOptions {
  // CFBundleExecutable, the file name in Contents/MacOS; the bundle's name
  // without ".app" when empty.
  std::string executableName;
  // More keys for Info.plist, overriding the defaults (CFBundleExecutable,
  // CFBundleName, CFBundleIdentifier, CFBundlePackageType "APPL",
  // CFBundleVersion "1.0").
  platform::Dictionary info;
  // false: no Info.plist.
  bool infoPlist = true;
  // Copied into Contents/Resources: name there -> host file or folder.
  std::map<std::string, std::string> resources;
};

// Assembles "<parentDir>/<bundleName>/Contents/{Info.plist, MacOS/<exe>,
// Resources/}" with a copy of the host file `executable` (a copy, not a link:
// the platform finds the main bundle from the executable's real path).
// Returns the bundle's host path.
std::string makeAppBundle(const std::string& parentDir, const std::string& bundleName,
                          const std::string& executable, const AppBundleOptions& options = {});

}  // namespace harness
