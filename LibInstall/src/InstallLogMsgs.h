// The installation log's events: each writes one record with a fixed text
// and severity through install::installLog. Arguments are values, never
// formats: a "%" in a path, address or reason is written unchanged.
#pragma once

namespace install {

void logApplicationBegin(const char* programName, const char* version, const char* system,
                         const char* processor);
void logApplicationEnd(bool success, const char* programName, int exitCode);
void logRuntimeInstalled(int major, int minor, int revision, int build, const char* location);
void logRuntimeNotInstalled();
void logImmediateUpdateDisabled();
void logSubprocessBegin(const char* commandLine);
void logSubprocessSuccess(const char* childName);
void logSubprocessFailure(const char* childName, int status);
void logDownloadBegin(const char* what, const char* url);
void logDownloadDest(const char* destination);
void logDownloadSuccess();
void logDownloadFailure(const char* reason);
void logDownloadCancel();
void logSigValid(const char* kind);
void logSigInvalid(const char* kind);
void logCouldNotLocateAppDir(const char* directory);
void logMissingAllowDownloadFlag();
void logCertChainBegin();
void logCertRevocationFound();
void logCertChainSuccess();
void logCertChainFailure();

}  // namespace install
