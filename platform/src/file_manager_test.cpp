#include "platform/file_manager.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_tempdir.h"

namespace platform {
namespace {

using testing::TempDir;

TEST(FileExists, FilesFoldersAndLinks) {
  TempDir dir;
  const std::string file = dir.write("file", "x");
  const std::string folder = dir.mkdirs("folder");
  const std::string linkToFolder = dir.symlink("folder", "linkToFolder");
  const std::string linkToFile = dir.symlink(file, "linkToFile");
  const std::string dangling = dir.symlink("nowhere", "dangling");
  const std::string chain = dir.symlink("linkToFolder", "chain");

  struct {
    std::string path;
    bool exists;
    bool isDirectory;
  } cases[] = {
      {file, true, false},        {folder, true, true},      {linkToFolder, true, true},
      {linkToFile, true, false},  {dangling, false, false},  {chain, true, true},
      {dir / "missing", false, false}, {"", false, false}, {file + "/below", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    bool isDirectory = !c.isDirectory;
    EXPECT_EQ(fileExistsAtPath(c.path, &isDirectory), c.exists);
    if (c.exists) {
      EXPECT_EQ(isDirectory, c.isDirectory);
    }
    EXPECT_EQ(fileExistsAtPath(c.path), c.exists);
  }
}

TEST(Permissions, OfTheItemItselfAndSetThroughLinks) {
  TempDir dir;
  const std::string readable = dir.write("readable", "x", 0644);
  const std::string secret = dir.write("secret", "x", 0600);
  const std::string tool = dir.write("tool", "x", 0755);
  const std::string link = dir.symlink("secret", "link");
  ::chmod(tool.c_str(), 04755);

  EXPECT_EQ(posixPermissionsOfItemAtPath(readable), 0644u);
  EXPECT_EQ(posixPermissionsOfItemAtPath(secret), 0600u);
  EXPECT_EQ(posixPermissionsOfItemAtPath(tool), 04755u);  // special bits are kept
  // The link's own bits, not its target's.
  EXPECT_EQ(posixPermissionsOfItemAtPath(link), 0777u);
  EXPECT_EQ(posixPermissionsOfItemAtPath(dir / "missing"), std::nullopt);
  EXPECT_EQ(posixPermissionsOfItemAtPath(dir.symlink("nowhere", "dangling")), 0777u);

  // Setting goes through the link to the target.
  EXPECT_TRUE(setPosixPermissionsOfItemAtPath(0755, link));
  EXPECT_EQ(posixPermissionsOfItemAtPath(secret), 0755u);
  EXPECT_TRUE(setPosixPermissionsOfItemAtPath(0700, readable));
  EXPECT_EQ(posixPermissionsOfItemAtPath(readable), 0700u);
  EXPECT_FALSE(setPosixPermissionsOfItemAtPath(0755, dir / "missing"));
  EXPECT_FALSE(setPosixPermissionsOfItemAtPath(0755, ""));
}

TEST(Remove, FilesLinksAndTreesButNeverLinkTargets) {
  TempDir dir;
  TempDir outside;
  const std::string keep = outside.write("keep", "precious");
  const std::string keepDir = outside.mkdirs("keepdir");
  outside.write("keepdir/inside", "precious");

  // A tree with nested folders and links that lead out of it.
  dir.write("tree/a/b/c.txt", "x");
  dir.write("tree/top.txt", "x", 0400);
  dir.mkdirs("tree/empty");
  dir.symlink(keep, "tree/a/linkToFile");
  dir.symlink(keepDir, "tree/linkToDir");
  EXPECT_TRUE(removeItemAtPath(dir / "tree"));
  EXPECT_FALSE(fileExistsAtPath(dir / "tree"));
  EXPECT_EQ(testing::readFile(keep), "precious");
  EXPECT_TRUE(fileExistsAtPath(keepDir + "/inside"));

  // A link on its own: the link goes, the target stays.
  const std::string link = dir.symlink(keep, "link");
  EXPECT_TRUE(removeItemAtPath(link));
  EXPECT_EQ(posixPermissionsOfItemAtPath(link), std::nullopt);
  EXPECT_TRUE(fileExistsAtPath(keep));
  EXPECT_TRUE(removeItemAtPath(dir.symlink("nowhere", "dangling")));

  EXPECT_TRUE(removeItemAtPath(dir.write("plain", "x")));
  EXPECT_FALSE(fileExistsAtPath(dir / "plain"));
  EXPECT_FALSE(removeItemAtPath(dir / "plain"));
  EXPECT_FALSE(removeItemAtPath(""));
}

}  // namespace
}  // namespace platform
