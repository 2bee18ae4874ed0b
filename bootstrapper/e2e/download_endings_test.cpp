// The download path of the real bootstrapper, end to end: "Install
// Sample.app" (tools/make-bundle) in the emulated Mac, the download server on
// the private network at download.vantor.test:8443 serving the signed sample
// runtime installer, its signature and the demo revocation lists, and every
// ending that follows a download, checked on the exit code, the dialog's
// console stand-in on standard error, the system-log records in order, what
// was installed, and that no downloaded file is left behind.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TestPki.h"
#include "download_fixture.h"

namespace fs = std::filesystem;
using harness::RunResult;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace downloadtest;

namespace {

class DownloadEndings : public DownloadFixture {};

struct Ending {
  const char* name;
  std::function<void(DownloadEndings&)> arrange;  // before the run
  std::vector<std::string> args;
  int code;
  const char* shown;                   // first line of the dialog on standard error; none: no dialog
  std::vector<std::string> records;    // found in this order between the begin and the end record
  bool runtimeInstalled;               // the real runtime installer ran
};

void noServer(DownloadEndings&) {}

// The demo intermediate's list, naming the demo signer as revoked.
void revokeDemoSigner(DownloadEndings& t) {
  const std::string pki = VANTOR_SOURCE_DIR "/demo-pki/DEMO-KEYS-";
  const testpki::Credential intermediate =
      testpki::loadCredential(pki + "intermediate-ca.cert.pem", pki + "intermediate-ca.key.pem");
  const testpki::Credential signer = testpki::loadCredential(pki + "signer.cert.pem", pki + "signer.key.pem");
  ossl::X509CrlPtr crl = testpki::makeCrl(intermediate, testpki::CrlSpec({&signer}));
  harness::writeFile(t.served("/vantor/crl/DEMO-KEYS-intermediate.crl"), testpki::crlDer(crl.get()));
}

class DownloadEndingsTable : public DownloadEndings, public ::testing::WithParamInterface<Ending> {};

TEST_P(DownloadEndingsTable, EndsWithItsCodeDialogAndRecordsAndLeavesNoDownloadedFile) {
  const Ending& e = GetParam();
  e.arrange(*this);
  mac().clearSyslog();
  const RunResult r = mac().run([&] {
    std::vector<std::string> argv{exe_};
    argv.insert(argv.end(), e.args.begin(), e.args.end());
    return argv;
  }());
  ASSERT_TRUE(r.exited()) << r.describe();
  EXPECT_EQ(r.exitCode, e.code) << r.describe();

  if (e.shown != nullptr) {
    // The alert or the error dialog, titled with the whole executable name.
    EXPECT_THAT(r.err, HasSubstr(e.shown)) << r.describe();
    EXPECT_THAT(r.err, HasSubstr(kId));
  } else {
    EXPECT_THAT(r.err, Not(HasSubstr("Brenmoor Vantor which cannot be found")));
    EXPECT_THAT(r.err, Not(HasSubstr(kMessage6)));
    EXPECT_THAT(r.err, Not(HasSubstr(kMessage8)));
  }
  // Message 8 is only for a file missing on the server; the others never
  // show it, and it never shows with message 0 or 6.
  if (e.shown != nullptr && std::string(e.shown) != kMessage8) {
    EXPECT_THAT(r.err, Not(HasSubstr(kMessage8)));
  }

  const std::vector<harness::SyslogRecord> log = mac().syslog();
  ASSERT_GE(log.size(), 3u) << dump(log);
  EXPECT_EQ(log.front().message, "Bootstrapper begin with version 32.0.0.89 on Mac x86") << dump(log);
  EXPECT_EQ(log.back().message, "Bootstrapper end with exit code " + std::to_string(e.code)) << dump(log);
  EXPECT_EQ(log.back().priority, e.code == 0 ? 5 : 3) << dump(log);
  for (const auto& rec : log) EXPECT_EQ(rec.identity, kId);
  EXPECT_EQ(missingInOrder(log, e.records), "") << dump(log);

  EXPECT_THAT(leftInTmp(), ::testing::IsEmpty()) << "downloaded files must be removed on every ending";
  EXPECT_EQ(fs::exists(mac().library() + kFramework + "/Versions/1.0/Brenmoor Vantor_64"), e.runtimeInstalled);
  EXPECT_EQ(fs::exists(mac().home() + "/Applications/Sample.app/Contents/MacOS/Sample"), e.runtimeInstalled);
}

const std::string kBeginInstaller = std::string("Begin runtime download from https://download.vantor.test:8443") + kNai + "installer";
const std::string kBeginSignature =
    std::string("Begin signature download from https://download.vantor.test:8443") + kNai + "installer.p7";
const std::string kNoRuntime = "No installed runtime detected";
const std::string kVerified = "Detached signature verified";
const std::string kLaunch = "Launching subprocess with commandline \"Vantor Runtime Installer\" ";

INSTANTIATE_TEST_SUITE_P(
    Rows, DownloadEndingsTable,
    ::testing::Values(
        Ending{"Installs", [](DownloadEndings& t) { t.startServer(); }, {}, 0, nullptr,
               {kNoRuntime, kBeginInstaller, "Download success", "Begin signature download", "Download success",
                "Begin crl download from https://download.vantor.test:8443/vantor/crl/DEMO-KEYS-intermediate.crl",
                "Begin crl download from https://download.vantor.test:8443/vantor/crl/DEMO-KEYS-root.crl", kVerified,
                kLaunch + "-x1 /Users/tester/Downloads/Install Sample.app/Contents/Resources/Sample ",
                "Subprocess Runtime Installer succeeded"},
               true},
        Ending{"UpdatesDisabledWithoutRuntimeStillDownloads",
               [](DownloadEndings& t) {
                 harness::writeFile(t.mac().home() + "/Library/Application Support/Brenmoor/Vantor/updateDisabled", "");
                 t.startServer();
               },
               {}, 0, nullptr, {kNoRuntime, kBeginInstaller, kVerified, "Subprocess Runtime Installer succeeded"}, true},
        Ending{"OldRuntimeIsUpdated",
               [](DownloadEndings& t) {
                 harness::installFramework(t.mac().library(), "1.5.0.0");
                 t.startServer();
               },
               {"-silent", "-allowDownload"}, 0, nullptr,
               {"Installed runtime (1.5.0.0)", kBeginInstaller, kVerified, kLaunch + "-silent ",
                "Subprocess Runtime Installer succeeded"},
               true},
        Ending{"DownloadFailsWithoutServer", noServer, {}, 11, kMessage0, {kNoRuntime, kBeginInstaller}, false},
        Ending{"SilentStillShowsTheAlert", noServer, {"-silent", "-allowDownload"}, 11, kMessage0,
               {kNoRuntime, kBeginInstaller}, false},
        Ending{"InstallerMissingOnServer",
               [](DownloadEndings& t) {
                 fs::remove(t.served(kNai + std::string("installer")));
                 t.startServer();
               },
               {}, 11, kMessage8, {kNoRuntime, kBeginInstaller}, false},
        Ending{"SignatureMissingOnServer",
               [](DownloadEndings& t) {
                 fs::remove(t.served(kNai + std::string("installer.p7")));
                 t.startServer();
               },
               {}, 11, kMessage8, {kNoRuntime, kBeginInstaller, "Download success", kBeginSignature}, false},
        // A list that cannot be fetched is tolerated: the signature still counts.
        Ending{"RevocationListMissingOnServer",
               [](DownloadEndings& t) {
                 fs::remove(t.served("/vantor/crl/DEMO-KEYS-root.crl"));
                 t.startServer();
               },
               {}, 0, nullptr,
               {kNoRuntime, kBeginSignature,
                "Begin crl download from https://download.vantor.test:8443/vantor/crl/DEMO-KEYS-root.crl",
                "Download failure", kVerified, "Subprocess Runtime Installer succeeded"},
               true},
        Ending{"SignerRevoked",
               [](DownloadEndings& t) {
                 revokeDemoSigner(t);
                 t.startServer();
               },
               {}, 13, kMessage6, {kNoRuntime, kBeginSignature, "Begin crl download", "Begin crl download"}, false},
        // The last download error decides the dialog, even when it came from
        // a revocation list and the signature failed for another reason.
        Ending{"SignerRevokedAndRevocationListMissing",
               [](DownloadEndings& t) {
                 revokeDemoSigner(t);
                 fs::remove(t.served("/vantor/crl/DEMO-KEYS-root.crl"));
                 t.startServer();
               },
               {}, 13, kMessage8,
               {kNoRuntime, kBeginSignature,
                "Begin crl download from https://download.vantor.test:8443/vantor/crl/DEMO-KEYS-root.crl",
                "Download failure"},
               false},
        Ending{"SignatureOfAnotherFile",
               [](DownloadEndings& t) {
                 fs::copy_file(std::string(VANTOR_RUNTIME_INSTALLER_VARIANT_DIR) + "/exit7/installer.p7",
                               t.served(kNai + std::string("installer.p7")), fs::copy_options::overwrite_existing);
                 t.startServer();
               },
               {}, 13, kMessage6, {kNoRuntime, kBeginInstaller, kBeginSignature}, false},
        Ending{"RuntimeInstallerExits0",
               [](DownloadEndings& t) {
                 t.serveVariant("exit0");
                 t.startServer();
               },
               {"-silent", "-eulaAccepted", "-allowDownload"}, 0, nullptr,
               {kNoRuntime, kVerified, kLaunch + "-silent -eulaAccepted ",
                "Subprocess Runtime Installer succeeded"},
               false},
        Ending{"RuntimeInstallerExits7",
               [](DownloadEndings& t) {
                 t.serveVariant("exit7");
                 t.startServer();
               },
               {}, 7, nullptr, {kNoRuntime, kVerified, kLaunch, "Subprocess Runtime Installer failed (7)"}, false}),
    [](const ::testing::TestParamInfo<Ending>& info) { return std::string(info.param.name); });

}  // namespace
