// The bootstrapper's own exit codes. The process ends with one of these, or
// with a child installer's exit status passed through unchanged, so any value
// can reach the caller; these are the ones the bootstrapper decides itself.
#pragma once

#include <cstdint>

namespace naib {

// Unscoped with a fixed 32-bit type: the values go straight to exit().
enum NAIBErrorCode : std::int32_t {
  // Installation done (the child installer reported 0), or "-version" answered.
  Success = 0,
  // The command line was rejected and the usage line printed.
  InvalidParameters = 2,
  // 3 (no enumerator): install::runAppInstaller found no runtime framework,
  //   so the Application Installer cannot be located.
  // 5 (no enumerator): install::runAppInstaller found no Application
  //   Installer bundle, or no executable in it, inside the framework.
  // The runtime must be downloaded but "-allowDownload" was not given.
  AllowDownloadMissing = 10,
  // The download failed or was cancelled, did not deliver exactly two files,
  // or the downloaded installer cannot be made executable.
  DownloadFailed = 11,
  // The package directory is missing from the bundle's resources.
  AppDirNotFound = 12,
  // The downloaded installer failed signature verification.
  SignatureInvalid = 13,
  // An installed runtime needs an update and updates are disabled.
  RuntimeUpdateDisabled = 15,
};

}  // namespace naib
