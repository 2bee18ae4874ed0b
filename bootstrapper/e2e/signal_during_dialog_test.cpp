// A termination request while the bootstrapper's failure alert is up, on a
// real X server: the real program in the emulated Mac has found the
// downloaded installer's signature invalid (code 13) and shows the alert
// with message 6; SIGTERM then ends it at once with that failure's code, the
// end record and no downloaded file left, without anyone pressing OK.
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "child_process.h"
#include "display_run_options.h"
#include "download_fixture.h"

namespace fs = std::filesystem;
using namespace downloadtest;
using namespace std::chrono_literals;

namespace {

class SignalDuringDialog : public DownloadFixture {};

TEST_F(SignalDuringDialog, SigtermWhileTheAlertIsUpKeepsTheFailuresCode) {
  testsupport::XvfbServer x;
  if (x.display().empty()) GTEST_SKIP() << "Xvfb could not be started";
  // A signature, valid in itself, over another file.
  fs::copy_file(std::string(VANTOR_RUNTIME_INSTALLER_VARIANT_DIR) + "/exit7/installer.p7", served(kSignature),
                fs::copy_options::overwrite_existing);
  startServer();
  mac().clearSyslog();

  auto run = mac().startBackground({exe_, "-silent", "-allowDownload"},
                                   displaytest::onDisplay(x.display(), VANTOR_LSAN_SUPPRESSIONS));
  const std::string alert = testsupport::onDisplay(
      x.display(), "timeout 60 xdotool search --sync --onlyvisible --name '^Install Sample$' | head -n1");
  ASSERT_FALSE(alert.empty()) << "no alert came up; " << run->errSoFar() << dump(mac().syslog());
  ASSERT_TRUE(run->running()) << "the alert is modal: the process waits for OK";
  ASSERT_TRUE(run->signal(SIGTERM));

  const harness::RunResult r = run->wait(30s);
  run.reset();
  ASSERT_TRUE(r.exited()) << r.describe();
  EXPECT_EQ(r.exitCode, 13) << r.describe();
  const std::vector<harness::SyslogRecord> log = mac().syslog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(missingInOrder(log, {"Begin signature download", "Download success"}), "") << dump(log);
  EXPECT_EQ(log.back().message, "Bootstrapper end with exit code 13") << dump(log);
  EXPECT_EQ(log.back().priority, 3);
  EXPECT_THAT(leftInTmp(), ::testing::IsEmpty()) << "downloaded files must be removed";
}

}  // namespace
