// Each event has one fixed text; callers pass only the variable parts, and
// those go in as values ("%s"), so a "%" in a path or reason stays as it is.
#include "InstallLogMsgs.h"

#include "LibInstall.h"

namespace install {

void logApplicationBegin(const char* programName, const char* version, const char* system,
                         const char* processor) {
  installLog(severity_info, "%s begin with version %s on %s %s", programName, version, system,
             processor);
}

void logApplicationEnd(bool success, const char* programName, int exitCode) {
  // success times two: severity_info for a clean end, severity_error otherwise.
  installLog(static_cast<severity_t>(success * 2), "%s end with exit code %d", programName,
             exitCode);
}

void logRuntimeInstalled(int major, int minor, int revision, int build, const char* location) {
  installLog(severity_info, "Installed runtime (%d.%d.%d.%d) located at %s", major, minor, revision,
             build, location);
}

void logRuntimeNotInstalled() { installLog(severity_info, "No installed runtime detected"); }

void logImmediateUpdateDisabled() {
  installLog(severity_error,
             "Cannot complete installation because runtime updates are disabled on this machine");
}

void logSubprocessBegin(const char* commandLine) {
  installLog(severity_info, "Launching subprocess with commandline %s", commandLine);
}

void logSubprocessSuccess(const char* childName) {
  installLog(severity_info, "Subprocess %s succeeded", childName);
}

void logSubprocessFailure(const char* childName, int status) {
  installLog(severity_error, "Subprocess %s failed (%d)", childName, status);
}

void logDownloadBegin(const char* what, const char* url) {
  installLog(severity_info, "Begin %s download from %s", what, url);
}

void logDownloadDest(const char* destination) {
  installLog(severity_info, "Download destination is %s", destination);
}

void logDownloadSuccess() { installLog(severity_info, "Download success"); }

void logDownloadFailure(const char* reason) {
  installLog(severity_error, "Download failure: %s", reason);
}

void logDownloadCancel() { installLog(severity_info, "Download cancelled"); }

void logSigValid(const char* kind) { installLog(severity_info, "%s signature verified", kind); }

void logSigInvalid(const char* kind) {
  installLog(severity_error, "%s signature validation failed", kind);
}

void logCouldNotLocateAppDir(const char* directory) {
  installLog(severity_error, "Could not locate native install directory (\"%s\")", directory);
}

void logMissingAllowDownloadFlag() {
  // The shared text is the format itself; it holds no "%". Not a literal, so
  // the compiler cannot check it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  installLog(severity_error, sAllowDownloadFlagMsg);
#pragma GCC diagnostic pop
}

void logCertChainBegin() { installLog(severity_info, "Begin cert chain validation"); }

void logCertRevocationFound() { installLog(severity_info, "Cert revocation found"); }

void logCertChainSuccess() { installLog(severity_info, "Cert chain validation succeeded"); }

void logCertChainFailure() { installLog(severity_error, "Cert chain validation failed"); }

}  // namespace install
