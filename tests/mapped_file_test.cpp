// The read-only mapped file of the seam, and deletions that must not follow links.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/platform.h"
#include "support/temp_tree.h"

namespace fs = std::filesystem;

TEST(MappedFile, MapsEveryByteOfAFile) {
  TempTree tree;
  std::string bytes(70000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  tree.Write("data/index.dat", bytes);
  platform::MappedFile file;
  ASSERT_TRUE(file.Open(tree.Path("data/index.dat")));
  EXPECT_TRUE(file.is_open());
  ASSERT_EQ(file.size(), bytes.size());
  ASSERT_NE(file.data(), nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data()), bytes.size()), bytes);
}

TEST(MappedFile, EmptyFileOpensWithNothingToRead) {
  TempTree tree;
  tree.Write("empty.dat", "");
  platform::MappedFile file;
  ASSERT_TRUE(file.Open(tree.Path("empty.dat")));
  EXPECT_EQ(file.size(), 0u);
  EXPECT_EQ(file.data(), nullptr);
}

TEST(MappedFile, MissingFilesAndFoldersDoNotOpen) {
  TempTree tree;
  tree.MakeDir("folder");
  platform::MappedFile file;
  EXPECT_FALSE(file.Open(tree.Path("missing.dat")));
  EXPECT_FALSE(file.Open(tree.Path("folder")));
  EXPECT_FALSE(file.is_open());
  EXPECT_EQ(file.data(), nullptr);
  EXPECT_EQ(file.size(), 0u);
}

TEST(MappedFile, ReopenCloseAndMoveHandOverTheView) {
  TempTree tree;
  tree.Write("a", "first");
  tree.Write("b", "second!");
  platform::MappedFile file;
  ASSERT_TRUE(file.Open(tree.Path("a")));
  ASSERT_TRUE(file.Open(tree.Path("b")));  // closes "a" first
  EXPECT_EQ(file.size(), 7u);
  platform::MappedFile moved = std::move(file);
  EXPECT_FALSE(file.is_open());
  EXPECT_EQ(file.data(), nullptr);
  ASSERT_TRUE(moved.is_open());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(moved.data()), 7), "second!");
  moved.Close();
  EXPECT_FALSE(moved.is_open());
  EXPECT_EQ(moved.data(), nullptr);
  // Once closed, the file can be replaced (Windows refuses while it is mapped).
  tree.Write("b", "changed");
  EXPECT_EQ(tree.Read("b"), "changed");
}

TEST(MappedFile, FailedOpenLeavesNothingOpen) {
  TempTree tree;
  tree.Write("a", "first");
  platform::MappedFile file;
  ASSERT_TRUE(file.Open(tree.Path("a")));
  EXPECT_FALSE(file.Open(tree.Path("missing")));
  EXPECT_FALSE(file.is_open());
  EXPECT_EQ(file.size(), 0u);
}

namespace {

// Makes `link` point to the folder `target`; false when the system refuses links.
bool MakeFolderLink(const fs::path& target, const fs::path& link) {
  std::error_code error;
  fs::create_directory_symlink(target, link, error);
  return !error;
}

}  // namespace

TEST(FileDeletion, DeletingAFolderNeverFollowsALinkInsideIt) {
  TempTree tree;
  tree.Write("outside/keep.txt", "precious");
  tree.Write("site/own.sol", "x");
  if (!MakeFolderLink(tree.Native("outside"), tree.Native("site/link"))) {
    GTEST_SKIP() << "no folder links on this system";
  }
  EXPECT_EQ(platform::ShellDelete(tree.Path("site")), 0);
  EXPECT_FALSE(tree.Exists("site"));
  EXPECT_EQ(tree.Read("outside/keep.txt"), "precious");
}

TEST(FileDeletion, DeletingALinkRemovesOnlyTheLink) {
  TempTree tree;
  tree.Write("outside/keep.txt", "precious");
  if (!MakeFolderLink(tree.Native("outside"), tree.Native("link"))) {
    GTEST_SKIP() << "no folder links on this system";
  }
  EXPECT_EQ(platform::ShellDelete(tree.Path("link")), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(tree.Native("link"))));
  EXPECT_EQ(tree.Read("outside/keep.txt"), "precious");
}
