// vantor-probe: a small program that calls the installation services the way
// the bootstrapper and the launcher do, so that end-to-end tests can watch
// them work against a real file system tree and a real system log.
//
//   vantor-probe location                 the runtime's location, or "none"
//   vantor-probe version                  "<result> <major>.<minor>.<revision>.<build>"
//   vantor-probe fileVersion PATH         the same for any bundle path
//   vantor-probe log EVENT ARG...         one installation-log event, e.g.
//                                         log logApplicationEnd true Bootstrapper 0
//   vantor-probe installLog SEVERITY FORMAT [ARG]
//                                         install::installLog; prints its result
//
// The version record is filled with -7 before each read, so a failed read
// shows that the record was left alone. Exit status 0 when the command ran
// (whatever the service answered), 2 for a malformed command line.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "InstallLogMsgs.h"
#include "LibInstall.h"

namespace {

using Args = std::vector<std::string>;

int usage(const char* why) {
  std::fprintf(stderr, "vantor-probe: %s\n", why);
  return 2;
}

bool toBool(const std::string& s) { return s == "true" || s == "1" || s == "YES"; }
int toInt(const std::string& s) { return static_cast<int>(std::strtol(s.c_str(), nullptr, 10)); }

struct Event {
  std::size_t argCount;
  std::function<void(const Args&)> call;
};

// Every event function, by name, with the number of arguments it takes.
const std::map<std::string, Event>& events() {
  using namespace install;
  static const std::map<std::string, Event> table = {
      {"logApplicationBegin",
       {4,
        [](const Args& a) {
          logApplicationBegin(a[0].c_str(), a[1].c_str(), a[2].c_str(), a[3].c_str());
        }}},
      {"logApplicationEnd",
       {3, [](const Args& a) { logApplicationEnd(toBool(a[0]), a[1].c_str(), toInt(a[2])); }}},
      {"logRuntimeInstalled",
       {5,
        [](const Args& a) {
          logRuntimeInstalled(toInt(a[0]), toInt(a[1]), toInt(a[2]), toInt(a[3]), a[4].c_str());
        }}},
      {"logRuntimeNotInstalled", {0, [](const Args&) { logRuntimeNotInstalled(); }}},
      {"logImmediateUpdateDisabled", {0, [](const Args&) { logImmediateUpdateDisabled(); }}},
      {"logSubprocessBegin", {1, [](const Args& a) { logSubprocessBegin(a[0].c_str()); }}},
      {"logSubprocessSuccess", {1, [](const Args& a) { logSubprocessSuccess(a[0].c_str()); }}},
      {"logSubprocessFailure",
       {2, [](const Args& a) { logSubprocessFailure(a[0].c_str(), toInt(a[1])); }}},
      {"logDownloadBegin",
       {2, [](const Args& a) { logDownloadBegin(a[0].c_str(), a[1].c_str()); }}},
      {"logDownloadDest", {1, [](const Args& a) { logDownloadDest(a[0].c_str()); }}},
      {"logDownloadSuccess", {0, [](const Args&) { logDownloadSuccess(); }}},
      {"logDownloadFailure", {1, [](const Args& a) { logDownloadFailure(a[0].c_str()); }}},
      {"logDownloadCancel", {0, [](const Args&) { logDownloadCancel(); }}},
      {"logSigValid", {1, [](const Args& a) { logSigValid(a[0].c_str()); }}},
      {"logSigInvalid", {1, [](const Args& a) { logSigInvalid(a[0].c_str()); }}},
      {"logCouldNotLocateAppDir",
       {1, [](const Args& a) { logCouldNotLocateAppDir(a[0].c_str()); }}},
      {"logMissingAllowDownloadFlag", {0, [](const Args&) { logMissingAllowDownloadFlag(); }}},
      {"logCertChainBegin", {0, [](const Args&) { logCertChainBegin(); }}},
      {"logCertRevocationFound", {0, [](const Args&) { logCertRevocationFound(); }}},
      {"logCertChainSuccess", {0, [](const Args&) { logCertChainSuccess(); }}},
      {"logCertChainFailure", {0, [](const Args&) { logCertChainFailure(); }}},
  };
  return table;
}

void printVersion(int result, const install::RuntimeVersionInfo& v) {
  std::printf("%d %d.%d.%d.%d\n", result, v.major, v.minor, v.revision, v.build);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage("no command");
  const std::string command = argv[1];
  Args args(argv + 2, argv + argc);

  if (command == "location") {
    const std::optional<std::string> location = install::getRuntimeLocation();
    std::printf("%s\n", location ? location->c_str() : "none");
    return 0;
  }
  if (command == "version" || command == "fileVersion") {
    install::RuntimeVersionInfo v{-7, -7, -7, -7};
    int result;
    if (command == "version") {
      result = install::getRuntimeVersion(v);
    } else {
      if (args.size() != 1) return usage("fileVersion takes one path");
      result = install::platform_getFileVersion(args[0].c_str(), v);
    }
    printVersion(result, v);
    return 0;
  }
  if (command == "log") {
    if (args.empty()) return usage("log needs an event name");
    const auto it = events().find(args[0]);
    if (it == events().end()) return usage("no such event");
    const Args rest(args.begin() + 1, args.end());
    if (rest.size() != it->second.argCount) return usage("wrong number of event arguments");
    it->second.call(rest);
    return 0;
  }
  if (command == "installLog") {
    if (args.size() != 2 && args.size() != 3) return usage("installLog SEVERITY FORMAT [ARG]");
    const auto severity = static_cast<install::severity_t>(toInt(args[0]));
    // The format comes from the command line on purpose: the test decides it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    const int result = args.size() == 3
                           ? install::installLog(severity, args[1].c_str(), args[2].c_str())
                           : install::installLog(severity, args[1].c_str());
#pragma GCC diagnostic pop
    std::printf("%d\n", result);
    return 0;
  }
  return usage("unknown command");
}
