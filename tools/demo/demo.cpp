// The demo: the whole install flow of "Install Sample.app" in the emulated
// Mac, with the demo download server on its private network, told step by
// step for a person watching.
//
//   vantor-demo [--keep]
//
// 1. The emulated Mac with no runtime installed, trusting the demo TLS
//    authority; the demo download server inside it serves the signed runtime
//    installer and the revocation lists.
// 2. "Install Sample.app" (tools/make-bundle around a small sample package)
//    in ~/Downloads, started as from the Finder (no arguments): the
//    download over HTTPS, the signature check with revocation lists, the
//    runtime installer, the Application Installer.
// 3. The installed ~/Applications/Sample.app started: the launcher on the
//    freshly installed runtime.
// 4. "Install Sample.app" again: the runtime is there now, so it is handed to
//    the Application Installer at once, without a download.
// When DISPLAY is set it is passed in, so the progress window shows.
// Exits 0 when every step ended as expected, 1 otherwise; --keep leaves the
// emulated Mac's folder in place and prints its path.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "EmulatedMac.h"
#include "FixtureTree.h"
#include "platform/process.h"

namespace fs = std::filesystem;
using harness::EmulatedMac;
using harness::RunOptions;
using harness::RunResult;

namespace {

constexpr char kServedDir[] = VANTOR_DEMO_SERVED_DIR;
constexpr char kTlsCa[] = VANTOR_SOURCE_DIR "/demo-pki/DEMO-KEYS-tls-ca.cert.pem";
constexpr char kMakeBundle[] = VANTOR_SOURCE_DIR "/tools/make-bundle";

void step(const std::string& text) { std::cout << "\n==> " << text << "\n" << std::flush; }

void indent(const std::string& label, const std::string& text) {
  if (text.empty()) return;
  std::cout << "  " << label << ":\n";
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) std::cout << "    " << line << "\n";
  std::cout << std::flush;
}

// Prints the records that arrived since the last call, as the system log
// would show them: identity, then the message.
void printLog(EmulatedMac& mac) {
  const std::vector<harness::SyslogRecord> records = mac.syslog();
  mac.clearSyslog();
  if (records.empty()) return;
  std::cout << "  system log (identity: message):\n";
  for (const harness::SyslogRecord& r : records)
    std::cout << "    " << (r.priority <= 3 ? "[error]  " : "[notice] ") << r.identity << ": " << r.message << "\n";
  std::cout << std::flush;
}

// Files in the emulated /tmp other than the sample Application Installer's
// record of its arguments (which it keeps on purpose): the bootstrapper must
// have removed everything it downloaded.
std::string leftInTmp(const EmulatedMac& mac) {
  std::string names;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(mac.tmp(), ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file() && it->path().filename() != "vantor-app-installer.txt")
      names += " " + it->path().lexically_relative(mac.tmp()).string();
  }
  return names;
}

struct Outcome {
  std::string what;
  int expected;
  int got;
};

}  // namespace

int main(int argc, char** argv) {
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--keep") keep = true;
    else {
      std::cerr << "usage: vantor-demo [--keep]\n";
      return 2;
    }
  }
  if (keep) setenv("VANTOR_KEEP_SCRATCH", "1", 1);

  step("Preparing the emulated Mac (Mac OS X 10.9.5, no Brenmoor Vantor runtime installed)");
  if (auto reason = EmulatedMac::unavailableReason()) {
    std::cerr << "vantor-demo: the emulated Mac cannot run here: " << *reason << "\n";
    return 1;
  }
  // Before any thread exists: the private network belongs to the thread that
  // enters it and to what it starts afterwards.
  if (auto reason = EmulatedMac::enterPrivateNetwork()) {
    std::cerr << "vantor-demo: no private network: " << *reason << "\n";
    return 1;
  }
  EmulatedMac mac;
  mac.trustCertificate(kTlsCa);
  fs::create_directories(mac.home() + "/Downloads");
  std::cout << "  root of the emulated Mac: " << mac.scratch() << "/root\n"
            << "  /etc/hosts maps download.vantor.test to 127.0.0.1 in a network namespace with only loopback\n";

  RunOptions shown;
  if (const char* display = std::getenv("DISPLAY"); display != nullptr && *display != '\0') {
    shown.display = display;
    std::cout << "  DISPLAY=" << display << " is passed in: the progress window will show\n";
  } else {
    std::cout << "  no DISPLAY: the bootstrapper shows its progress and dialogs on standard error\n";
  }
  shown.timeout = std::chrono::minutes(5);

  step("Starting the demo download server at https://download.vantor.test:8443");
  std::unique_ptr<harness::BackgroundProcess> server =
      mac.startBackground({VANTOR_DOWNLOAD_SERVER_PROGRAM, "--root", kServedDir, "--port", "8443"});
  for (int i = 0; i < 100 && server->running() && server->outSoFar().find("listening on") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (!server->running() || server->outSoFar().find("listening on") == std::string::npos) {
    indent("server", server->outSoFar() + server->errSoFar());
    std::cerr << "vantor-demo: the download server did not start\n";
    return 1;
  }
  std::cout << "  serving " << kServedDir << ":\n"
            << "    /vantor/3/nai/macos10.9/x86/installer      the runtime installer (signed by the demo signer)\n"
            << "    /vantor/3/nai/macos10.9/x86/installer.p7   its detached signature\n"
            << "    /vantor/crl/DEMO-KEYS-intermediate.crl     revocation lists named by the demo certificates\n"
            << "    /vantor/crl/DEMO-KEYS-root.crl\n";

  step("Assembling \"Install Sample.app\" with tools/make-bundle in ~/Downloads");
  const std::string package = mac.scratch() + "/package/Sample";
  harness::writeFile(package + "/Info.plist",
                     harness::plistXml({{"CFBundleIdentifier", "com.example.sample"}, {"CFBundleVersion", "1.0"}}));
  harness::writeFile(package + "/sample.txt", "The sample application's own files.\n");
  const platform::ChildResult made = platform::runChildAndWait(
      "/bin/bash", {kMakeBundle, "--bootstrapper", VANTOR_BOOTSTRAPPER_PROGRAM, "--package", package, "--output",
                    mac.home() + "/Downloads", "--force"});
  if (!made.started || made.status != 0) {
    std::cerr << "vantor-demo: make-bundle failed\n";
    return 1;
  }
  const std::string bootstrapper = mac.homePath() + "/Downloads/Install Sample.app/Contents/MacOS/Install Sample";
  std::cout << "  " << bootstrapper << "\n";

  std::vector<Outcome> outcomes;
  mac.clearSyslog();

  step("Running \"Install Sample.app\" (as from the Finder: no arguments)");
  std::cout << "  expected: download, signature and revocation check, runtime installer, Application Installer\n";
  RunResult first = mac.run({bootstrapper}, shown);
  indent("standard output", first.out);
  indent("standard error", first.err);
  printLog(mac);
  indent("download server", server->outSoFar());
  std::cout << "  exit code: " << first.exitCode << (first.exited() ? "" : "  (" + first.describe() + ")") << "\n";
  outcomes.push_back({"Install Sample.app, no runtime (download path)", 0, first.exitCode});
  const std::string left = leftInTmp(mac);
  std::cout << "  files left in /tmp:" << (left.empty() ? " none" : left) << "\n";

  const bool runtimeThere = fs::exists(mac.library() + "/Frameworks/Brenmoor Vantor.framework/Versions/1.0/Brenmoor Vantor_64");
  std::cout << "  runtime in /Library/Frameworks: " << (runtimeThere ? "installed" : "MISSING") << "\n";
  const std::string app = mac.homePath() + "/Applications/Sample.app/Contents/MacOS/Sample";
  const bool appThere = fs::exists(mac.hostPath(app));
  std::cout << "  ~/Applications/Sample.app: " << (appThere ? "installed" : "MISSING") << "\n";

  step("Starting the installed Sample.app (the launcher on the freshly installed runtime)");
  RunResult started = mac.run({app}, shown);
  indent("standard output", started.out);
  indent("standard error", started.err);
  printLog(mac);
  std::cout << "  exit code: " << started.exitCode << "\n";
  outcomes.push_back({"Sample.app on the installed runtime", 0, started.exitCode});

  step("Running \"Install Sample.app\" again: the runtime is present, so no download");
  RunResult second = mac.run({bootstrapper}, shown);
  indent("standard output", second.out);
  indent("standard error", second.err);
  printLog(mac);
  std::cout << "  exit code: " << second.exitCode << "\n";
  outcomes.push_back({"Install Sample.app, runtime present (hand-over path)", 0, second.exitCode});

  server->stop();

  step("Exit codes");
  bool allGood = runtimeThere && appThere && left.empty();
  for (const Outcome& o : outcomes) {
    const bool good = o.got == o.expected;
    allGood = allGood && good;
    std::cout << "  " << (good ? "ok     " : "FAILED ") << o.what << ": " << o.got << " (expected " << o.expected
              << ")\n";
  }
  std::cout << (allGood ? "\nThe demo ran as expected.\n" : "\nThe demo did NOT run as expected.\n");
  if (keep) std::cout << "Emulated Mac kept at " << mac.scratch() << "\n";
  return allGood ? 0 : 1;
}
