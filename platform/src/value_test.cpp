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
