// Bootstrapper: the application delegate of the bootstrapper and its whole
// install flow. The bundle "Install <Name>.app" carries one application
// package, Contents/Resources/<Name>/. When the application has finished
// launching, the Bootstrapper takes its one decision: hand the package to the
// installed runtime's Application Installer (runtime of major version 2 or
// later), or download the runtime installer with its detached signature,
// have the signature verified, and run the installer with the package. Every
// path ends the process through exit() with its code; only the download path
// returns to the event loop, which then delivers "InstallerDownloadDone" and
// "SignatureVerifyDone".
//
// Exit codes: naib::NAIBErrorCode (0, 2, 10, 11, 12, 13, 15), 3 and 5 from
// install::runAppInstaller, 126 and 127 for a child installer that could not
// be started (AppInstaller.h), or a child's own status passed through.
//
// Ownership: the main interface file ("MainMenu", MainMenu.cpp) creates and
// owns the Bootstrapper and the Downloader for the life of the process and
// connects the Downloader to the `downloader` outlet; nothing else creates
// them. The Bootstrapper owns the SignatureVerification it creates, from the
// end of the installer download until the verifier's result arrives.
//
// Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/application.h"
#include "platform/bundle.h"
#include "platform/notification.h"
#include "platform/value.h"

class Downloader;
class SignatureVerification;

class Bootstrapper : public platform::ApplicationDelegate {
 public:
  // The start-up steps over the process's own arguments and main bundle.
  Bootstrapper();
  // The same over given arguments (program path at index 0, never empty) and
  // a given main bundle: what the program itself passes, so that a unit
  // test can start one from any folder.
  Bootstrapper(std::vector<std::string> processArguments, std::shared_ptr<platform::Bundle> mainBundle);
  // Stops observing the notifications. Never runs in the install flow (every
  // path exits first).
  ~Bootstrapper() override;
  Bootstrapper(const Bootstrapper&) = delete;
  Bootstrapper& operator=(const Bootstrapper&) = delete;

  // ---- Fields -------------------------------------------------------------

  // Element 0 of the process arguments, unchanged.
  const std::string& exePath() const { return exePath_; }
  // The package directory (resource path joined with the application name),
  // or none when no directory exists there.
  const std::optional<std::string>& appPath() const { return appPath_; }
  // The last path component of exePath, "Install " prefix kept: the title of
  // alerts and of the error dialog.
  const std::string& appName() const { return appName_; }
  void setAppName(const std::string& name) { appName_ = name; }
  // The downloaded runtime installer, none until its download has finished.
  const std::optional<std::string>& installerLaunchPath() const { return installerLaunchPath_; }
  // Message 9 followed by the application name; offered to the main
  // interface, read back by no step.
  const std::string& localizedWindowTitle() const { return localizedWindowTitle_; }
  void setLocalizedWindowTitle(const std::string& title) { localizedWindowTitle_ = title; }
  // The main bundle's resource "Config.plist", none when missing or
  // unreadable. Loaded at start-up and consulted by no step.
  const std::optional<platform::Dictionary>& config() const { return config_; }
  // Outlet to the Downloader of the main interface; not owned. Every step
  // that needs it tolerates null (a Bootstrapper built without the main
  // interface), as a message to nil would.
  Downloader* downloader() const { return downloader_; }
  void setDownloader(Downloader* downloader) { downloader_ = downloader; }

  // The application name: appName without an exact leading "Install "
  // (case-sensitive, with the blank), else appName itself.
  static std::string applicationNameFromAppName(const std::string& appName);
  // The path the package directory was looked for at (what the log names
  // when it is missing).
  const std::string& lookedForAppPath() const { return lookedForAppPath_; }

  // ---- The launch decision ----------------------------------------------

  // Ends the process, or returns with the download of the runtime installer
  // under way.
  void applicationDidFinishLaunching() override;

  // ---- The download path --------------------------------------------------

  // Observer of "InstallerDownloadDone".
  void notifyDownloaderDone(const platform::Notification& notification);
  // Exactly two files after success: keeps the first as installerLaunchPath
  // and starts the signature verification. Otherwise ends with 11.
  void handleDownloaderDone(bool success, const platform::SharedStringList& files);
  // Observer of "SignatureVerifyDone".
  void notifySignatureDone(const platform::Notification& notification);
  // Releases the verifier; valid: makes the installer executable and runs it
  // (ends with its status, or 11 when it cannot be made executable); not
  // valid: ends with 13.
  void handleSignatureDone(bool valid, const void* signatureVerifier);

  // The common ending. Code 0: logs success. Any other code: when showError,
  // shows the error dialog with message 8 if the Downloader's last error is
  // "file does not exist" (-1100) of the URL error domain, else an alert
  // with `exitMessage` (message 1 when none); then logs failure. Then deletes
  // the downloaded files and exits with `errCode`.
  [[noreturn]] void cleanupAndExit(bool showError, int errCode, const std::optional<std::string>& exitMessage);

  // The reaction to SIGTERM, SIGINT or SIGHUP, registered once the begin
  // record is written (the event loop calls it; see
  // platform/termination_signals.h). A transfer still running is stopped
  // ("Download cancelled"), every downloaded file and the partial one are
  // removed, the end is logged as a failure and the process exits, with no
  // dialog: with 11 (the download did not lead to an install), or, when an
  // ending was already under way and only its dialog was still up, with that
  // ending's code. While a child installer runs the signal goes to the child
  // instead, and the bootstrapper ends with the child's result as usual.
  [[noreturn]] void terminationRequested(int signalNumber);

  // ---- Child installers ---------------------------------------------------

  // Runs the runtime's Application Installer with `args` (none: nothing)
  // followed by the package directory, logging the command line and the
  // outcome. `location` is not used: install::runAppInstaller looks the
  // framework up again. Returns its status, 3 or 5, or 126/127 when the
  // program could not be started.
  int installWithRuntime(const std::string& location, const std::optional<std::vector<std::string>>& args);
  // Runs the downloaded runtime installer at `installerPath` with `args`
  // (or "-x1" when empty) followed by the package directory, logging the
  // command line and the outcome. Returns its status, or 126/127 when it
  // could not be started.
  int installWithInstaller(const std::string& installerPath, const std::vector<std::string>& args);
  // Adds the execute bits (0111) to the permissions read from the file that
  // `path` resolves to, and sets them on `path`. False when the permissions
  // cannot be read or set.
  static bool markAsExecutable(const std::string& path);
  // The log form of a child's command line: "\"<displayName>\" " then every
  // argument followed by one blank, nothing quoted.
  static std::string subprocessCommandLine(const std::string& displayName, const std::vector<std::string>& args);

  // ---- Dialogs ------------------------------------------------------------

  // The error dialog (links shown as links), titled appName; returns when
  // the user has pressed OK.
  void showDialog(const std::string& message);
  // The standard alert with appName as headline and `message` as its text;
  // returns when the user has pressed OK.
  void okAlert(const std::string& message);

 private:
  [[noreturn]] void endWithCode(int code);

  std::string exePath_;
  std::optional<std::string> appPath_;
  std::string appName_;
  std::optional<std::string> installerLaunchPath_;
  std::string localizedWindowTitle_;
  std::optional<platform::Dictionary> config_;
  Downloader* downloader_ = nullptr;

  std::vector<std::string> processArguments_;
  std::shared_ptr<platform::Bundle> mainBundle_;
  std::string lookedForAppPath_;
  std::unique_ptr<SignatureVerification> verifier_;
  // The code of the ending whose dialog is up, so that a termination request
  // then keeps it.
  std::optional<int> endingCode_;
};
