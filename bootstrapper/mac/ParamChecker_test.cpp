// The command-line rules, run through ParamChecker over real argument lists,
// with standard output and standard error captured at the file descriptors.
#include "ParamChecker.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace naib {
namespace {

using Args = std::vector<std::string>;
using Validated = std::optional<std::vector<std::string>>;

const std::string kUsage =
    "Available Options: -silent { -eulaAccepted ( -location <dir> ) -desktopShortcut "
    "-programMenu -allowDownload }\n";
const std::string kVersion = "32.0.0.89\n";

struct Case {
  const char* name;
  Args args;  // after the program path
  bool proceeds;
  bool allowDownload;
  bool silent;
  NAIBErrorCode code;
  Validated validated;
  std::string out;
};

const Validated none = std::nullopt;
Validated list(std::vector<std::string> v) { return v; }

// The flags after a rejection are what the walk had set when it stopped.
const Case kCases[] = {
    {"NoArguments", {}, true, true, false, Success, none, ""},
    {"ProcessSerialNumberOnly", {"-psn_0_123456"}, true, true, false, Success, none, ""},
    {"Version", {"-version"}, false, false, false, Success, none, kVersion},
    {"SilentAlone", {"-silent"}, true, false, false, Success, list({"-silent"}), ""},
    {"AllowDownloadAlone", {"-allowDownload"}, false, false, false, InvalidParameters, none, kUsage},
    {"EulaAcceptedAlone", {"-eulaAccepted"}, false, false, false, InvalidParameters, none, kUsage},
    {"LocationAlone", {"-location"}, false, false, false, InvalidParameters, none, kUsage},
    {"SilentAllowDownload", {"-silent", "-allowDownload"}, true, true, true, Success,
     list({"-silent"}), ""},
    {"EulaAcceptedAllowDownload", {"-eulaAccepted", "-allowDownload"}, true, true, false, Success,
     list({"-eulaAccepted"}), ""},
    {"SilentNotFirst", {"-allowDownload", "-silent"}, false, true, true, InvalidParameters,
     list({"-silent"}), kUsage},
    {"SilentTwice", {"-silent", "-eulaAccepted", "-silent"}, false, false, true, InvalidParameters,
     list({"-silent", "-eulaAccepted", "-silent"}), kUsage},
    {"SilentTwiceAdjacent", {"-silent", "-silent"}, false, false, true, InvalidParameters,
     list({"-silent", "-silent"}), kUsage},
    {"LocationWithoutValue", {"-silent", "-location"}, false, false, true, InvalidParameters,
     list({"-silent"}), kUsage},
    {"LocationValueLooksLikeSilent", {"-silent", "-location", "-silent"}, true, false, true, Success,
     list({"-silent", "-location", "-silent"}), ""},
    {"LocationValueLooksLikeAllowDownload", {"-eulaAccepted", "-location", "-allowDownload"}, true,
     false, false, Success, list({"-eulaAccepted", "-location", "-allowDownload"}), ""},
    {"LocationValueEmpty", {"-silent", "-location", ""}, true, false, true, Success,
     list({"-silent", "-location", ""}), ""},
    {"SixOptions",
     {"-silent", "-eulaAccepted", "-location", "/Applications/My Apps", "-desktopShortcut",
      "-programMenu"},
     true, false, true, Success,
     list({"-silent", "-eulaAccepted", "-location", "/Applications/My Apps", "-desktopShortcut",
           "-programMenu"}),
     ""},
    {"AllSevenInAnyOrderAfterSilent",
     {"-silent", "-programMenu", "-allowDownload", "-location", "x", "-desktopShortcut",
      "-eulaAccepted"},
     true, true, true, Success,
     list({"-silent", "-programMenu", "-location", "x", "-desktopShortcut", "-eulaAccepted"}), ""},
    {"SilentThenVersion", {"-silent", "-version"}, false, false, true, InvalidParameters,
     list({"-silent"}), kUsage},
    {"VersionTwice", {"-version", "-version"}, false, false, false, InvalidParameters, none, kUsage},
    {"VersionThenAllowDownload", {"-version", "-allowDownload"}, false, false, false,
     InvalidParameters, none, kUsage},
    {"CapitalSilentAlone", {"-Silent"}, false, false, false, InvalidParameters, none, kUsage},
    {"CapitalVersion", {"-VERSION"}, false, false, false, InvalidParameters, none, kUsage},
    {"CapitalInList", {"-silent", "-allowdownload"}, false, false, true, InvalidParameters,
     list({"-silent"}), kUsage},
    {"CapitalFirstInList", {"-EulaAccepted", "-allowDownload"}, false, false, false,
     InvalidParameters, none, kUsage},
    {"RepeatsAreForwardedEachTime",
     {"-eulaAccepted", "-eulaAccepted", "-allowDownload", "-allowDownload", "-programMenu",
      "-programMenu"},
     true, true, false, Success,
     list({"-eulaAccepted", "-eulaAccepted", "-programMenu", "-programMenu"}), ""},
    {"RepeatedLocation", {"-location", "a", "-location", "b"}, true, false, false, Success,
     list({"-location", "a", "-location", "b"}), ""},
    {"NoEqualsForm", {"-silent", "-location=/tmp"}, false, false, true, InvalidParameters,
     list({"-silent"}), kUsage},
    {"NoAbbreviation", {"-silent", "-allow"}, false, false, true, InvalidParameters,
     list({"-silent"}), kUsage},
    {"EmptyArgument", {"-silent", ""}, false, false, true, InvalidParameters, list({"-silent"}),
     kUsage},
    {"PlainWord", {"install"}, false, false, false, InvalidParameters, none, kUsage},
    // "-psn" arguments vanish before the rules see the list, wherever they stand.
    {"SerialNumberBeforeSilent", {"-psn_0_1", "-silent", "-allowDownload"}, true, true, true,
     Success, list({"-silent"}), ""},
    {"SerialNumberInTheMiddle", {"-silent", "-psn_0_1", "-allowDownload"}, true, true, true,
     Success, list({"-silent"}), ""},
    {"SerialNumberBeforeVersion", {"-psn_0_1", "-version"}, false, false, false, Success, none,
     kVersion},
    {"SerialNumberPrefixOnly", {"-psn"}, true, true, false, Success, none, ""},
    {"SerialNumberAsLocationValueIsRemovedFirst", {"-silent", "-location", "-psn_0_1"}, false,
     false, true, InvalidParameters, list({"-silent"}), kUsage},
    {"NotASerialNumber", {"-ps"}, false, false, false, InvalidParameters, none, kUsage},
    {"SerialNumberCaseSensitive", {"-PSN_0_1"}, false, false, false, InvalidParameters, none,
     kUsage},
};

class CommandLine : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLine, FlagsCodeValidatedArgumentsAndOutput) {
  const Case& c = GetParam();
  Args argv{"/Applications/Install Sample.app/Contents/MacOS/Install Sample"};
  argv.insert(argv.end(), c.args.begin(), c.args.end());
  ParamChecker checker(argv);

  // Start from the opposite of what is expected, so a result that is never
  // written shows.
  bool allowDownload = !c.allowDownload;
  bool silent = !c.silent;
  NAIBErrorCode code = c.code == Success ? InvalidParameters : Success;

  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const bool proceeds = checker.CheckParams(allowDownload, silent, code);
  const std::string err = ::testing::internal::GetCapturedStderr();
  const std::string out = ::testing::internal::GetCapturedStdout();

  EXPECT_EQ(proceeds, c.proceeds);
  EXPECT_EQ(allowDownload, c.allowDownload);
  EXPECT_EQ(silent, c.silent);
  EXPECT_EQ(code, c.code);
  EXPECT_EQ(checker.ParamArray(), c.validated);
  EXPECT_EQ(out, c.out);
  EXPECT_EQ(err, "");
  // A command line that goes on always does so with code 0.
  if (proceeds) {
    EXPECT_EQ(code, Success);
  }
}

INSTANTIATE_TEST_SUITE_P(Rules, CommandLine, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(ParamChecker, ReceivedArgumentsLeaveOutProgramAndSerialNumbers) {
  ParamChecker checker({"/path/prog", "-psn_0_42", "-silent", "", "x-psn", "-psn", "-location"});
  ASSERT_EQ(checker.GetOrigArgCount(), 4u);
  EXPECT_STREQ(checker.GetOrigUtf8Arg(0), "-silent");
  EXPECT_STREQ(checker.GetOrigUtf8Arg(1), "");
  EXPECT_STREQ(checker.GetOrigUtf8Arg(2), "x-psn");
  EXPECT_STREQ(checker.GetOrigUtf8Arg(3), "-location");

  ParamChecker empty(std::vector<std::string>{});
  EXPECT_EQ(empty.GetOrigArgCount(), 0u);
  EXPECT_EQ(empty.ParamArray(), std::nullopt);
}

TEST(ParamChecker, ValidatedArgumentsAreCopiesInAppendOrder) {
  ParamChecker checker({"/prog"});
  EXPECT_EQ(checker.ParamArray(), std::nullopt);
  std::string value = "/some dir";
  checker.PutValidatedUtf8Arg("-location", false);
  checker.PutValidatedUtf8Arg(value.c_str(), true);
  value.assign("changed");  // the checker must not keep the caller's buffer
  ASSERT_TRUE(checker.ParamArray().has_value());
  EXPECT_EQ(*checker.ParamArray(), (std::vector<std::string>{"-location", "/some dir"}));
}

TEST(ParamChecker, NeedsAllowDownloadLineGoesToStandardOutputOnly) {
  ParamChecker checker({"/prog", "-silent"});
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  checker.PrintNeedsAllowDownloadFlag();
  const std::string err = ::testing::internal::GetCapturedStderr();
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "Unable to download runtime installer without -allowDownload\n");
  EXPECT_EQ(err, "");
}

TEST(NAIBErrorCode, ValuesOfTheExitCodeTable) {
  static_assert(sizeof(NAIBErrorCode) == 4);
  EXPECT_EQ(Success, 0);
  EXPECT_EQ(InvalidParameters, 2);
  EXPECT_EQ(AllowDownloadMissing, 10);
  EXPECT_EQ(DownloadFailed, 11);
  EXPECT_EQ(AppDirNotFound, 12);
  EXPECT_EQ(SignatureInvalid, 13);
  EXPECT_EQ(RuntimeUpdateDisabled, 15);
}

}  // namespace
}  // namespace naib
