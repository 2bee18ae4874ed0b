// Property lists written and read through libplist, XML and binary, and the
// files that must be refused.
#include "platform/value.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <fstream>

#include "test_tempdir.h"

namespace platform {
namespace {

using testing::TempDir;

const Dictionary kEveryKind{
    {"yes", true},
    {"no", false},
    {"zero", 0},
    {"negative", -42},
    {"big", std::int64_t{1} << 40},
    {"lowest", std::int64_t{INT64_MIN}},
    {"real", 2.5},
    {"text", "Brenmoor Vantor \xc3\xa9\xe2\x82\xac <&> \"quoted\""},
    {"empty", ""},
    {"data", Data{0x00, 0xff, 0x10, 0x80}},
    {"list", Array{Value("a"), Value(1), Value(Array{}), Value(Dictionary{{"k", "v"}})}},
    {"nested", Dictionary{{"inner", Dictionary{{"deep", true}}}}},
};

TEST(PropertyList, XmlRoundTripOfEveryKind) {
  TempDir dir;
  const std::string path = dir / "all.plist";
  ASSERT_TRUE(writePropertyListXml(kEveryKind, path));
  const std::string text = testing::readFile(path);
  EXPECT_EQ(text.rfind("<?xml", 0), 0u) << text;
  EXPECT_NE(text.find("<key>negative</key>"), std::string::npos);
  EXPECT_NE(text.find("<integer>-42</integer>"), std::string::npos);
  const auto back = readPropertyListDictionary(path);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, kEveryKind);
}

TEST(PropertyList, WritingReplacesTheFile) {
  TempDir dir;
  const std::string path = dir.write("p.plist", std::string(10000, 'x'));
  ASSERT_TRUE(writePropertyListXml({{"a", "b"}}, path));
  EXPECT_EQ(readPropertyListDictionary(path), (Dictionary{{"a", "b"}}));
  EXPECT_FALSE(writePropertyListXml({{"a", "b"}}, dir / "no/such/folder/p.plist"));
}

TEST(PropertyList, ReadsHandWrittenXmlAsToolsWriteIt) {
  TempDir dir;
  const std::string path = dir.write("SystemVersion.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>ProductName</key>
	<string>Mac OS X</string>
	<key>ProductVersion</key>
	<string>10.6.8</string>
	<key>Flag</key>
	<true/>
	<key>Count</key>
	<integer>3</integer>
</dict>
</plist>
)");
  EXPECT_EQ(readPropertyListDictionary(path),
            (Dictionary{{"ProductName", "Mac OS X"}, {"ProductVersion", "10.6.8"}, {"Flag", true},
                        {"Count", 3}}));
}

TEST(PropertyList, ReadsBinary) {
  TempDir dir;
  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "CFBundleVersion", plist_new_string("3.1.0.488"));
  plist_dict_set_item(root, "Enabled", plist_new_bool(1));
  plist_t list = plist_new_array();
  plist_array_append_item(list, plist_new_uint(7));
  plist_dict_set_item(root, "List", list);
  char* bin = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(root, &bin, &length);
  plist_free(root);
  ASSERT_NE(bin, nullptr);
  const std::string path = dir / "bin.plist";
  std::ofstream(path, std::ios::binary).write(bin, length);
  plist_to_bin_free(bin);
  ASSERT_EQ(testing::readFile(path).rfind("bplist00", 0), 0u);

  EXPECT_EQ(readPropertyListDictionary(path),
            (Dictionary{{"CFBundleVersion", "3.1.0.488"}, {"Enabled", true}, {"List", Array{7}}}));
}

TEST(PropertyList, RefusesWhatIsNotADictionaryFile) {
  TempDir dir;
  const std::pair<const char*, std::string> files[] = {
      {"empty", ""},
      {"text", "CFBundleVersion = 3.1.0.488"},
      {"truncatedXml", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>"},
      {"truncatedBinary", std::string("bplist00\xd1\x01\x02", 11)},
      {"topLevelArray", "<plist version=\"1.0\"><array><string>a</string></array></plist>"},
      {"topLevelString", "<plist version=\"1.0\"><string>a</string></plist>"},
  };
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    EXPECT_EQ(readPropertyListDictionary(dir.write(name, bytes)), std::nullopt);
  }
  EXPECT_EQ(readPropertyListDictionary(dir / "missing"), std::nullopt);
  EXPECT_EQ(readPropertyListDictionary(dir.path()), std::nullopt);  // a folder
}

// A binary Info.plist (found by fuzzing) with NUL bytes inside a key:
// libplist reads it, then aborts the process with an assertion when the key
// is asked for, so the reader must refuse the file before walking it.
TEST(PropertyList, RefusesKeysHoldingANulCharacter) {
  TempDir dir;
  const std::string bytes(
      "\x62\x70\x6c\x69\x73\x74\x30\x30\xd7\x01\x03\x05\x07\x09\x0b\x0d"
      "\x02\x04\x06\x08\x0a\x0c\x0e\x5f\x10\x12\x43\x46\x42\x75\x6e\x64"
      "\x6c\x65\x45\x78\x65\x63\x75\x74\x61\x62\x6c\x65\x5c\x62\x6f\x6f"
      "\x74\x73\x74\x72\x61\x70\x70\x65\x72\x5f\x10\x12\x43\x46\x3c\x21"
      "\x2d\x2d\x6c\x65\x49\x64\x65\x6e\x74\x69\x66\x69\x65\x72\x5f\x10"
      "\x22\x63\x6f\x6d\x2e\x62\x72\x05\x00\x6d\x6f\x6f\x72\x2e\x76\x61"
      "\x6e\x74\x6f\x72\x2e\x69\x10\x13\x43\x46\x42\x75\x6e\x64\x6c\x65"
      "\x50\x61\x63\x6b\x61\x67\x65\x54\x79\x70\x65\x54\x41\x50\x50\x4c"
      "\x5f\x10\x0f\x43\x46\x00\x00\x00\x2f\x6c\x65\x56\x65\x72\x73\x69"
      "\x6f\x6e\x57\x32\x2e\x30\x2e\x30\x2e\x31\x5f\x10\x16\x4c\x53\x4d"
      "\x69\x6e\x69\x6d\x75\x6d\x53\x79\x73\x74\x65\x6d\x56\x65\x46\x00"
      "\x00\x00\x2f\x6c\x65\x56\x65\x72\x73\x69\x6f\x6e\x57\x32\x2e\x30"
      "\x2e\x30\x2e\x31\x5f\x10\x16\x4c\x53\x4d\x69\x6e\x69\x6d\x75\x6d"
      "\x53\x79\x73\x74\x65\x6d\x56\x65\x72\x73\x69\x6f\x6e\x54\x31\x30"
      "\x2e\x36\x5f\x10\x10\x43\x46\x42\x75\x6e\x64\x75\x65\x9c\x64\x65"
      "\x6e\x74\x69\x66\x69\x5d\x4e\x53\x41\x70\x70\x6c\x69\x63\x61\x74"
      "\x69\x6f\x6e\x00\x08\x00\x17\x00\x2c\x00\x39\x00\x4e\x00\x73\x00"
      "\x80\x00\x8f\x00\xa5\x00\xaa\x00\xbc\x00\xc4\x00\xdd\x00\xe2\x00"
      "\xf5\x00\x00\x00\x00\x00\x00\x02\x01\x00\x00\x00\x00\x00\x00\x00"
      "\x0f\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01"
      "\x03",
      321);
  EXPECT_EQ(readPropertyListDictionary(dir.write("Info.plist", bytes)), std::nullopt);
}

TEST(Value, AccessorsAnswerOnlyForTheirKind) {
  const Value s("text");
  EXPECT_NE(s.asString(), nullptr);
  EXPECT_EQ(s.asInteger(), nullptr);
  EXPECT_EQ(s.asBool(), nullptr);
  const Value none;
  EXPECT_TRUE(none.isNone());
  EXPECT_EQ(none.asString(), nullptr);
  // Integers and booleans stay apart, also in comparisons.
  EXPECT_FALSE(Value(1) == Value(true));
  EXPECT_EQ(*Value(std::int64_t{5}).asInteger(), 5);
}

}  // namespace
}  // namespace platform
