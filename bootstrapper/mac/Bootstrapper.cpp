#include "Bootstrapper.h"

#include <cstdlib>

#include "AppInstaller.h"
#include "Dialogs.h"
#include "Downloader.h"
#include "InstallLogMsgs.h"
#include "LibInstall.h"
#include "LocalizedStrings.h"
#include "NAIBErrorCode.h"
#include "ParamChecker.h"
#include "SignatureVerification.h"
#include "platform/file_manager.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/termination_signals.h"
#include "platform/url_download.h"

namespace {

constexpr char kProgramName[] = "Bootstrapper";
constexpr char kInstallPrefix[] = "Install ";
constexpr std::size_t kInstallPrefixLength = sizeof kInstallPrefix - 1;

constexpr char kInstallerDownloadDone[] = "InstallerDownloadDone";
constexpr char kSignatureVerifyDone[] = "SignatureVerifyDone";
constexpr char kSignatureKeyIsValid[] = "SignatureKeyIsValid";

// Message identifiers of the compiled-in catalogue.
constexpr int kMsgRuntimeNotFound = 0;
constexpr int kMsgSomethingWentWrong = 1;
constexpr int kMsgCancel = 3;
constexpr int kMsgPleaseWait = 4;
constexpr int kMsgValidationFailed = 6;
constexpr int kMsgUpdateNotAvailable = 8;
constexpr int kMsgWindowTitlePrefix = 9;
constexpr int kMsgUpdatesNotAllowed = 10;

// The download addresses fit easily; the size is what the address builder is
// told, so a longer server name is cut rather than overrun.
constexpr std::size_t kUrlBufferSize = 512;

constexpr std::uint32_t kExecuteBits = 0111;

std::string message(int identifier) { return LocalizedStrings::getEmbeddedMessage(identifier).value_or(std::string()); }

// What the log shows for a value that is missing, as the system log prints
// a null string.
constexpr char kNoValue[] = "(null)";

}  // namespace

Bootstrapper::Bootstrapper() : Bootstrapper(platform::processArguments(), platform::Bundle::mainBundle()) {}

Bootstrapper::Bootstrapper(std::vector<std::string> processArguments,
                           std::shared_ptr<platform::Bundle> mainBundle)
    : processArguments_(std::move(processArguments)), mainBundle_(std::move(mainBundle)) {
  exePath_ = processArguments_.empty() ? std::string() : processArguments_.front();
  setAppName(platform::lastPathComponent(exePath_));
  const std::string name = applicationNameFromAppName(appName_);
  // Message 9 carries its own separator ("Installing " in English).
  setLocalizedWindowTitle(message(kMsgWindowTitlePrefix) + name);

  if (const auto configPath = mainBundle_->pathForResource("Config", "plist"))
    config_ = platform::readPropertyListDictionary(*configPath);

  lookedForAppPath_ = platform::appendPathComponent(mainBundle_->resourcePath(), name);
  bool isDirectory = false;
  if (platform::fileExistsAtPath(lookedForAppPath_, &isDirectory) && isDirectory) appPath_ = lookedForAppPath_;

  installerLaunchPath_.reset();

  auto& center = platform::NotificationCenter::defaultCenter();
  center.addObserver(this, kInstallerDownloadDone, nullptr,
                     [this](const platform::Notification& n) { notifyDownloaderDone(n); });
  center.addObserver(this, kSignatureVerifyDone, nullptr,
                     [this](const platform::Notification& n) { notifySignatureDone(n); });
}

Bootstrapper::~Bootstrapper() { platform::NotificationCenter::defaultCenter().removeObserver(this); }

std::string Bootstrapper::applicationNameFromAppName(const std::string& appName) {
  if (appName.compare(0, kInstallPrefixLength, kInstallPrefix) == 0 && appName.size() >= kInstallPrefixLength)
    return appName.substr(kInstallPrefixLength);
  return appName;
}

void Bootstrapper::applicationDidFinishLaunching() {
  // 1. The bootstrapper's own version, for the begin record.
  std::string version = kNoValue;
  if (const platform::Value* v = mainBundle_->objectForInfoDictionaryKey("CFBundleVersion"))
    if (const std::string* s = v->asString()) version = *s;

  // 2. The command line. A rejected line or "-version" ends here, before
  //    anything is logged: the checker has already answered on standard
  //    output.
  naib::ParamChecker checker(processArguments_);
  bool allowDownload = false;
  bool silent = false;
  naib::NAIBErrorCode code = naib::Success;
  if (!checker.CheckParams(allowDownload, silent, code)) std::exit(code);

  // 3.
  install::logApplicationBegin(kProgramName, version.c_str(), "Mac", "x86");
  // From here on the log has a begin record that needs its end, and soon
  // there are files to remove: a request to end is handled, not fatal. If
  // the signals cannot be caught they keep their default effect.
  platform::setTerminationHandler([this](int signalNumber) { terminationRequested(signalNumber); });

  // 4. No package, nothing to install.
  if (!appPath_) {
    install::logCouldNotLocateAppDir(lookedForAppPath_.c_str());
    endWithCode(naib::AppDirNotFound);
  }

  // 5. An installed runtime of major version 2 or later takes the package.
  install::RuntimeVersionInfo info{};
  const int versionResult = install::getRuntimeVersion(info);
  if (versionResult != 0) {
    install::logRuntimeNotInstalled();
  } else {
    const std::optional<std::string> location = install::getRuntimeLocation();
    install::logRuntimeInstalled(info.major, info.minor, info.revision, info.build,
                                 location ? location->c_str() : kNoValue);
    if (location && info.major >= 2) {
      const int status = installWithRuntime(*location, checker.ParamArray());
      install::logApplicationEnd(status == 0, kProgramName, status);
      std::exit(status);
    }
    // Older, or gone since the version was read: it needs an update.
  }

  // 6.
  if (!allowDownload) {
    install::logMissingAllowDownloadFlag();
    checker.PrintNeedsAllowDownloadFlag();
    endWithCode(naib::AllowDownloadMissing);
  }

  // 7. The update policy speaks only about a runtime that is installed.
  if (versionResult == 0 && !install::canUpdateRuntime()) {
    install::logImmediateUpdateDisabled();
    endingCode_ = naib::RuntimeUpdateDisabled;
    showDialog(message(kMsgUpdatesNotAllowed));
    endWithCode(naib::RuntimeUpdateDisabled);
  }

  // 8. No addresses can be built when the machine's description is missing
  //    its system, processor or major version. Nothing can be downloaded,
  //    so this ends like a download that failed: code 11, logged as a
  //    failure, with the general "something went wrong" alert (the user can
  //    do nothing about it, and ending with success would claim an install
  //    that never happened).
  char installerUrl[kUrlBufferSize];
  char signatureUrl[kUrlBufferSize];
  if (!install::getBootstrapperDownloadUrls(installerUrl, sizeof installerUrl, signatureUrl, sizeof signatureUrl))
    cleanupAndExit(true, naib::DownloadFailed, message(kMsgSomethingWentWrong));

  // 9. Hand over to the Downloader; the event loop brings its answer.
  if (downloader_ == nullptr) cleanupAndExit(true, naib::DownloadFailed, message(kMsgRuntimeNotFound));
  downloader_->setUrlStrings(
      std::make_shared<const std::vector<std::string>>(std::vector<std::string>{installerUrl, signatureUrl}));
  downloader_->setSilent(silent);
  downloader_->setLocalizedCancel(message(kMsgCancel));
  downloader_->setLocalizedPleaseWait(message(kMsgPleaseWait));
  downloader_->setRuntimeArgs(checker.ParamArray());
  downloader_->startDownload(kInstallerDownloadDone);
}

void Bootstrapper::endWithCode(int code) {
  // No download has happened on these paths, so there are no files to remove.
  install::logApplicationEnd(code == 0, kProgramName, code);
  std::exit(code);
}

void Bootstrapper::notifyDownloaderDone(const platform::Notification& notification) {
  const bool* success = notification.get<bool>(DownloaderKeySuccess);
  const platform::SharedStringList* files = notification.get<platform::SharedStringList>(DownloaderKeyFiles);
  handleDownloaderDone(success != nullptr && *success, files != nullptr ? *files : platform::SharedStringList{});
}

void Bootstrapper::handleDownloaderDone(bool success, const platform::SharedStringList& files) {
  if (success && files && files->size() == 2) {
    installerLaunchPath_ = (*files)[0];
    // Copied before the verifier runs: the list is the Downloader's live one,
    // and the revocation-list download empties it.
    const std::string signaturePath = (*files)[1];
    verifier_ = std::make_unique<SignatureVerification>();
    verifier_->setDownloader(downloader_);
    verifier_->verifyDataAtPath(*installerLaunchPath_, signaturePath);
    return;
  }
  cleanupAndExit(true, naib::DownloadFailed, message(kMsgRuntimeNotFound));
}

void Bootstrapper::notifySignatureDone(const platform::Notification& notification) {
  const bool* valid = notification.get<bool>(kSignatureKeyIsValid);
  handleSignatureDone(valid != nullptr && *valid, notification.object);
}

void Bootstrapper::handleSignatureDone(bool valid, const void* signatureVerifier) {
  // The notification was delivered from the queue, so the verifier is not on
  // the stack and can go now.
  if (verifier_ && verifier_.get() == signatureVerifier) verifier_.reset();
  if (!valid) cleanupAndExit(true, naib::SignatureInvalid, message(kMsgValidationFailed));

  if (installerLaunchPath_ && markAsExecutable(*installerLaunchPath_)) {
    const std::vector<std::string> args =
        downloader_ != nullptr ? downloader_->runtimeArgs() : std::vector<std::string>{};
    const int status = installWithInstaller(*installerLaunchPath_, args);
    cleanupAndExit(false, status, std::nullopt);
  }
  cleanupAndExit(true, naib::DownloadFailed, message(kMsgValidationFailed));
}

void Bootstrapper::cleanupAndExit(bool showError, int errCode, const std::optional<std::string>& exitMessage) {
  if (errCode == 0) {
    install::logApplicationEnd(true, kProgramName, 0);
  } else {
    endingCode_ = errCode;
    if (showError) {
      // Whichever download failed last (installer, signature or a revocation
      // list): a missing file on the server means no installer exists for
      // this system, and the dialog links to the requirements.
      const std::optional<platform::Error>* lastError = downloader_ != nullptr ? &downloader_->lastError() : nullptr;
      if (lastError != nullptr && *lastError && (*lastError)->domain == platform::UrlErrorDomain &&
          (*lastError)->code == platform::UrlErrorFileDoesNotExist)
        showDialog(message(kMsgUpdateNotAvailable));
      else
        okAlert(exitMessage ? *exitMessage : message(kMsgSomethingWentWrong));
    }
    install::logApplicationEnd(false, kProgramName, errCode);
  }
  if (downloader_ != nullptr) downloader_->cleanupTempFiles();
  std::exit(errCode);
}

void Bootstrapper::terminationRequested(int /*signalNumber*/) {
  // Asked to end while a failure's dialog was up: that failure is the
  // outcome, the request only closes the dialog.
  const int code = endingCode_.value_or(naib::DownloadFailed);
  if (downloader_ != nullptr) {
    // A transfer held outside an ending is running (the installer, its
    // signature or a revocation list): stopping it ends its list, which
    // hands its files, the partial one too, to the clean-up.
    if (!endingCode_ && downloader_->hasTransfer()) downloader_->stopDownLoad();
    downloader_->cleanupTempFiles();
  }
  install::logApplicationEnd(false, kProgramName, code);
  std::exit(code);
}

std::string Bootstrapper::subprocessCommandLine(const std::string& displayName,
                                                const std::vector<std::string>& args) {
  std::string line = "\"" + displayName + "\" ";
  for (const std::string& a : args) {
    line += a;
    line += ' ';
  }
  return line;
}

int Bootstrapper::installWithRuntime(const std::string& /*location*/,
                                     const std::optional<std::vector<std::string>>& args) {
  std::vector<std::string> arguments = args.value_or(std::vector<std::string>{});
  arguments.push_back(appPath_.value_or(lookedForAppPath_));

  install::logSubprocessBegin(subprocessCommandLine("Vantor Application Installer", arguments).c_str());
  const int result = install::runAppInstaller(arguments);
  if (result != 0)
    install::logSubprocessFailure("Application Installer", result);
  else
    install::logSubprocessSuccess("Application Installer");
  return result;
}

int Bootstrapper::installWithInstaller(const std::string& installerPath, const std::vector<std::string>& args) {
  std::vector<std::string> arguments;
  if (!args.empty())
    arguments = args;
  else
    arguments.push_back("-x1");
  arguments.push_back(appPath_.value_or(lookedForAppPath_));

  install::logSubprocessBegin(subprocessCommandLine("Vantor Runtime Installer", arguments).c_str());
  const int status = install::platform_runSubprocess(installerPath, arguments);
  if (status != 0)
    install::logSubprocessFailure("Runtime Installer", status);
  else
    install::logSubprocessSuccess("Runtime Installer");
  return status;
}

bool Bootstrapper::markAsExecutable(const std::string& path) {
  // Read from the file a link points at, set through the path as given (the
  // file manager follows the link there too).
  const std::string resolved = platform::resolvingSymlinksInPath(path);
  const std::optional<std::uint32_t> permissions = platform::posixPermissionsOfItemAtPath(resolved);
  if (!permissions) return false;
  return platform::setPosixPermissionsOfItemAtPath(*permissions | kExecuteBits, path);
}

void Bootstrapper::showDialog(const std::string& text) { dialogs::showDialog(text, appName_); }

void Bootstrapper::okAlert(const std::string& text) { dialogs::okAlert(text, appName_); }
