// The Flash store on real site folders holding real local shared objects.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "stores/stores.h"
#include "support/temp_tree.h"

namespace fs = std::filesystem;

namespace {

const std::string kRoot = std::string(TempProfile::kAppData) + "/Macromedia/Flash Player/#SharedObjects/";

// What the store shows of a file's first bytes: at most 127, unprintable ones as spaces.
std::wstring Peek(const std::string& bytes) {
  std::wstring text;
  for (size_t i = 0; i < bytes.size() && i < 127; ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    text += (b < 32 || b > 126) ? L' ' : static_cast<wchar_t>(b);
  }
  return text;
}

class Flash : public testing::Test {
 protected:
  static std::string Site(const std::string& relative) { return kRoot + "ABCD1234/" + relative; }
  int Scan() {
    found_.clear();
    return ProcessFlashCookies(filter_, found_, false);
  }
  int Clean() {
    CFlashCookieArray scratch;
    const int count = ProcessFlashCookies(filter_, scratch, true);
    EXPECT_TRUE(scratch.empty());
    return count;
  }

  TempProfile profile_;
  CCookieFilter filter_{L"*.tracker.com\n*.localhost\n"};
  CFlashCookieArray found_;
};

}  // namespace

TEST_F(Flash, SiteFoldersOfEveryLevelOneFolderAreItemsWithTheirFirstFile) {
  profile_.CopyTestData("flash/AS2-ECMAArray-Demo.sol", Site("localhost/demo.swf/AS2-ECMAArray-Demo.sol"));
  profile_.CopyTestData("flash/AS2-half-life-2-flash.sol", kRoot + "XYZ/www.tracker.com/hl2.sol");
  profile_.Write(Site("example.com/settings.sol"), "harmless");
  EXPECT_EQ(Scan(), 2);
  ASSERT_EQ(found_.size(), 2u);
  const std::string sol = profile_.Read(Site("localhost/demo.swf/AS2-ECMAArray-Demo.sol"));
  EXPECT_EQ(found_[0].m_strSite, L"localhost");
  EXPECT_EQ(found_[0].m_strName, L"AS2-ECMAArray-Demo.sol");
  EXPECT_EQ(found_[0].m_strValue, Peek(sol));
  EXPECT_EQ(found_[0].m_strValue.size(), 127u);
  EXPECT_EQ(found_[0].m_strValue.substr(0, 18), L"      TCSO        ");
  EXPECT_EQ(found_[0].GetExpires(), L"Unknown");
  EXPECT_EQ(found_[1].m_strSite, L"www.tracker.com");
  EXPECT_EQ(found_[1].m_strName, L"hl2.sol");
  EXPECT_EQ(found_[1].m_strValue, Peek(profile_.Read(kRoot + "XYZ/www.tracker.com/hl2.sol")));
}

TEST_F(Flash, ShortAndEmptyFirstFilesAndEmptySiteFolders) {
  profile_.Write(Site("a.tracker.com/first.sol"), "ab\x01\x7f\xff" "c");
  profile_.Write(Site("a.tracker.com/second.sol"), "other");
  profile_.Write(Site("b.tracker.com/empty.sol"), "");
  profile_.MakeDir(Site("c.tracker.com/nested/deeper"));
  EXPECT_EQ(Scan(), 3);
  ASSERT_EQ(found_.size(), 3u);
  EXPECT_EQ(found_[0].m_strName, L"first.sol");
  EXPECT_EQ(found_[0].m_strValue, L"ab   c");
  EXPECT_EQ(found_[1].m_strName, L"empty.sol");
  EXPECT_EQ(found_[1].m_strValue, L"");
  EXPECT_EQ(found_[2].m_strName, L"Unknown");
  EXPECT_EQ(found_[2].m_strValue, L"Unknown");
}

TEST_F(Flash, FilesInTheRootOrALevelOneFolderAreNeverItems) {
  profile_.Write(kRoot + "www.tracker.com", "a file, not a folder");
  profile_.Write(kRoot + "ABCD1234/www.tracker.com", "a file too");
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(Clean(), 0);
  EXPECT_TRUE(profile_.Exists(kRoot + "www.tracker.com"));
  EXPECT_TRUE(profile_.Exists(kRoot + "ABCD1234/www.tracker.com"));
}

TEST_F(Flash, CleanDeletesWholeEvilSiteFoldersAndNothingElse) {
  profile_.CopyTestData("flash/AS2-half-life-2-flash.sol", Site("www.tracker.com/game.swf/hl2.sol"));
  profile_.Write(Site("www.tracker.com/top.sol"), "x");
  profile_.Write(Site("example.com/keep.sol"), "keep");
  profile_.Write(kRoot + "ABCD1234/loose.sol", "loose");
  const std::string before = profile_.Read(Site("example.com/keep.sol"));
  EXPECT_EQ(Scan(), 1);
  EXPECT_TRUE(profile_.Exists(Site("www.tracker.com/game.swf/hl2.sol")));  // a scan deletes nothing
  EXPECT_EQ(Clean(), 1);
  EXPECT_FALSE(profile_.Exists(Site("www.tracker.com")));
  EXPECT_EQ(profile_.Read(Site("example.com/keep.sol")), before);
  EXPECT_EQ(profile_.Read(kRoot + "ABCD1234/loose.sol"), "loose");
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(Clean(), 0);
}

TEST_F(Flash, MissingFoldersGiveNothing) {
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(Clean(), 0);
  profile_.MakeDir(kRoot);
  EXPECT_EQ(Scan(), 0);
}

TEST_F(Flash, CleaningASiteFolderNeverFollowsALinkOutOfIt) {
  profile_.Write("Documents/letter.txt", "precious");
  profile_.Write(Site("www.tracker.com/a.sol"), "x");
  std::error_code error;
  fs::create_directory_symlink(profile_.Native("Documents"), profile_.Native(Site("www.tracker.com/link")),
                               error);
  if (error) GTEST_SKIP() << "no folder links on this system";
  EXPECT_EQ(Clean(), 1);
  EXPECT_FALSE(profile_.Exists(Site("www.tracker.com")));
  EXPECT_EQ(profile_.Read("Documents/letter.txt"), "precious");
}
