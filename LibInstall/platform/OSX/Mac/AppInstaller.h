// Starting the two child installers: the Application Installer inside the
// installed runtime framework (install::runAppInstaller, declared in
// LibInstall.h) and, through the same helper, the downloaded runtime
// installer. The codes below take the place of a child's exit status.
#pragma once

#include <string>
#include <vector>

namespace install {

// runAppInstaller: no runtime framework location was found.
inline constexpr int kAppInstallerNoRuntimeLocation = 3;
// runAppInstaller: no Application Installer bundle in the framework, or the
// bundle names no executable that exists.
inline constexpr int kAppInstallerNotFound = 5;

// A child that could not be started at all (the file is missing, is not
// executable or is not a program). The values follow the shell's convention,
// so a deployer reading an exit status sees what a shell would report:
// 127 when the file does not exist, 126 when it exists but cannot be run.
inline constexpr int kChildNotFound = 127;
inline constexpr int kChildNotExecutable = 126;

// The path of the Application Installer bundle inside a framework folder.
inline constexpr const char* kAppInstallerRelativePath =
    "Versions/1.0/Brenmoor Vantor Application Installer.app";

// Starts the program at `path` with `arguments` (argv[1...]), inheriting the
// environment, the working directory and the standard streams, and waits
// for it without a time limit. Returns its exit status; for a child ended by
// a signal, the signal number (what the platform's task object reports as
// its termination status). When the child cannot be started, returns
// kChildNotFound or kChildNotExecutable; never a success. Writes no log.
int platform_runSubprocess(const std::string& path, const std::vector<std::string>& arguments);

}  // namespace install
