// The Internet Explorer cookie store on real files in both cookie folders.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/platform.h"
#include "stores/stores.h"
#include "text/textfile.h"
#include "support/temp_tree.h"

namespace {

std::string Record(const std::string& name, const std::string& site,
                   const std::string& end = "\n") {
  return name + "\nvalue-" + name + "\n" + site + "\n1536\n2015032320\n30912156\n" +
         "3477790720\n30405223\n*" + end;
}

class IECookies : public testing::Test {
 protected:
  static std::string Cookies(const std::string& file) {
    return std::string(TempProfile::kCookies) + "/" + file;
  }
  static std::string Low(const std::string& file) {
    return std::string(TempProfile::kCookies) + "/Low/" + file;
  }
  int Scan() {
    found_.clear();
    return ProcessIECookies(filter_, found_, false);
  }
  int Clean() {
    CIECookieArray scratch;
    const int count = ProcessIECookies(filter_, scratch, true);
    EXPECT_TRUE(scratch.empty());
    return count;
  }

  TempProfile profile_;
  CCookieFilter filter_{L"*.tracker.com\n*.ads.net\n"};
  CIECookieArray found_;
};

}  // namespace

TEST_F(IECookies, ScanFindsEvilRecordsInBothFoldersAndChangesNothing) {
  const std::string mixed = Record("a", "www.tracker.com/") + Record("b", "news.example.org/") +
                            Record("c", "x.ads.net/path/");
  profile_.Write(Cookies("user@tracker[1].txt"), mixed);
  profile_.Write(Low("user@ads[2].txt"), Record("d", "ads.net/"));
  profile_.Write(Cookies("index.dat"), Record("e", "tracker.com/"));  // not a cookie file
  EXPECT_EQ(Scan(), 3);
  ASSERT_EQ(found_.size(), 3u);
  EXPECT_EQ(found_[0].m_strName, L"a");
  EXPECT_EQ(found_[0].m_strSite, L"www.tracker.com/");
  EXPECT_EQ(found_[0].m_strFlags, L"1536");
  EXPECT_EQ(found_[0].m_strCreatedHigh, L"30405223");
  EXPECT_EQ(found_[1].m_strName, L"c");
  EXPECT_EQ(found_[2].m_strName, L"d");
  EXPECT_EQ(profile_.Read(Cookies("user@tracker[1].txt")), mixed);
  EXPECT_EQ(profile_.Read(Low("user@ads[2].txt")), Record("d", "ads.net/"));
}

TEST_F(IECookies, CleanRewritesMixedDeletesAllEvilAndLeavesCleanFilesByteForByte) {
  profile_.Write(Cookies("mixed.txt"), Record("a", "www.tracker.com/") +
                                           Record("b", "news.example.org/") +
                                           Record("c", "x.ads.net/") + Record("d", "shop.example/"));
  profile_.Write(Cookies("evil.txt"), Record("e", "tracker.com/"));
  const std::string crlf = "n\r\nv\r\nsite.example/\r\n0\r\n0\r\n0\r\n0\r\n0\r\n*\r\n";
  profile_.Write(Cookies("clean.txt"), crlf);
  profile_.Write(Low("evil.txt"), Record("f", "ads.net/") + Record("g", "a.ads.net/"));
  // Blank lines behind the last record keep nothing: the file goes.
  profile_.Write(Low("blank-end.txt"), Record("h", "ads.net/") + "\r\n\n");

  EXPECT_EQ(Scan(), 6);
  EXPECT_EQ(Clean(), 6);
  EXPECT_EQ(profile_.Read(Cookies("mixed.txt")),
            Record("b", "news.example.org/") + Record("d", "shop.example/"));
  EXPECT_FALSE(profile_.Exists(Cookies("evil.txt")));
  EXPECT_FALSE(profile_.Exists(Low("evil.txt")));
  EXPECT_FALSE(profile_.Exists(Low("blank-end.txt")));
  EXPECT_EQ(profile_.Read(Cookies("clean.txt")), crlf);
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(Clean(), 0);
}

TEST_F(IECookies, RewriteUsesLineFeedsAndKeepsBytes) {
  const std::string evil = "n\r\nv\r\nads.net/\r\n0\r\n0\r\n0\r\n0\r\n0\r\n*\r\n";
  const std::string kept = "caf\xE9\r\nv\xFF\r\nbank.example/\r\n0\r\n1\r\n2\r\n3\r\n4\r\n*\r\n";
  profile_.Write(Cookies("c.txt"), evil + kept);
  EXPECT_EQ(Clean(), 1);
  EXPECT_EQ(profile_.Read(Cookies("c.txt")), "caf\xE9\nv\xFF\nbank.example/\n0\n1\n2\n3\n4\n*\n");
}

TEST_F(IECookies, EmptyCookieFileIsDeletedByACleanOnly) {
  profile_.Write(Cookies("empty.txt"), "");
  EXPECT_EQ(Scan(), 0);
  EXPECT_TRUE(profile_.Exists(Cookies("empty.txt")));
  EXPECT_EQ(Clean(), 0);
  EXPECT_FALSE(profile_.Exists(Cookies("empty.txt")));
}

TEST_F(IECookies, MalformedRecordStopsReadingAndItsRestIsKeptVerbatim) {
  const std::string bad_end = "n\nv\nx.tracker.com/\n0\n0\n0\n0\n0\n* \n";
  const std::string rest = Record("later", "tracker.com/") + "junk\r\n";
  profile_.Write(Cookies("c.txt"), Record("a", "tracker.com/") + Record("b", "ok.example/") +
                                       bad_end + rest);
  EXPECT_EQ(Scan(), 1);  // reading stops at the record whose end is "* "
  EXPECT_EQ(Clean(), 1);
  EXPECT_EQ(profile_.Read(Cookies("c.txt")), Record("b", "ok.example/") + bad_end + rest);
}

TEST_F(IECookies, FileWhoseFirstRecordIsMalformedIsNeverDeleted) {
  const std::string content = "n\nv\nx.tracker.com/\n0\n0\n0\n0\n0\n**\n" + Record("a", "tracker.com/");
  profile_.Write(Cookies("c.txt"), content);
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(Clean(), 0);
  EXPECT_EQ(profile_.Read(Cookies("c.txt")), content);
}

TEST_F(IECookies, TruncatedLastRecordIsKept) {
  const std::string partial = "n\nv\ntracker.com/\n0\n0\n0\n0\n0";  // no "*" line
  profile_.Write(Cookies("c.txt"), Record("a", "tracker.com/") + partial);
  EXPECT_EQ(Scan(), 1);
  EXPECT_EQ(Clean(), 1);
  EXPECT_EQ(profile_.Read(Cookies("c.txt")), partial);
}

TEST_F(IECookies, ContentAfterCtrlZIsKept) {
  const std::string after = "\x1A" "n\nv\nbank.example/\n0\n0\n0\n0\n0\n*\n";
  profile_.Write(Cookies("c.txt"), Record("a", "tracker.com/") + Record("b", "b.example/") + after);
  EXPECT_EQ(Clean(), 1);
  EXPECT_EQ(profile_.Read(Cookies("c.txt")), Record("b", "b.example/") + after);
}

TEST_F(IECookies, MissingFoldersContributeNothing) {
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(Clean(), 0);
  profile_.Write(Cookies("c.txt"), Record("a", "tracker.com/"));
  EXPECT_EQ(Scan(), 1);  // no "\Low" folder below the cookie folder
}

TEST_F(IECookies, NoProfileMeansNoCookieFolder) {
  platform::SetProfileRoot(L"");
  std::wstring folder;
#ifndef _WIN32
  EXPECT_FALSE(platform::GetKnownFolder(platform::KnownFolder::Cookies, &folder));
  EXPECT_EQ(Scan(), 0);
#endif
  platform::SetProfileRoot(profile_.Path());
}

TEST_F(IECookies, FailedRewriteLeavesTheOriginalAndCountsNothing) {
  const std::string content = Record("a", "tracker.com/") + Record("b", "ok.example/");
  profile_.Write(Cookies("c.txt"), content);
  for (int i = 0; i < CFile::kNewFileNames; ++i) {  // the new file cannot be created
    profile_.MakeDir(Cookies("c.txt" + CFile::NewFileSuffix(i)));
  }
  EXPECT_EQ(Clean(), 0);
  EXPECT_EQ(profile_.Read(Cookies("c.txt")), content);
}

TEST_F(IECookies, ScanThenCleanReportTheSameCount) {
  for (int i = 0; i < 5; ++i) {
    std::string content;
    for (int j = 0; j < 4; ++j) {
      content += Record("n" + std::to_string(j), j % 2 ? "a.tracker.com/" : "b.example/");
    }
    profile_.Write(Cookies("f" + std::to_string(i) + ".txt"), content);
  }
  EXPECT_EQ(Scan(), 10);
  EXPECT_EQ(Clean(), 10);
}

TEST_F(IECookies, FolderNamedLikeACookieFileIsSkipped) {
  profile_.MakeDir(Cookies("folder.txt"));
  profile_.Write(Cookies("c.txt"), Record("a", "tracker.com/"));
  EXPECT_EQ(Clean(), 1);
  EXPECT_TRUE(profile_.Exists(Cookies("folder.txt")));
}

TEST_F(IECookies, NonAsciiProfilePath) {
  TempTree tree;
  const std::string root = "Jos\xC3\xA9-\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD";  // "José-Иван" in UTF-8
  tree.Write(root + "/" + TempProfile::kCookies + "/c.txt", Record("a", "tracker.com/"));
  platform::SetProfileRoot(tree.Path(root));
  EXPECT_EQ(Scan(), 1);
  EXPECT_EQ(Clean(), 1);
  EXPECT_FALSE(tree.Exists(root + "/" + TempProfile::kCookies + "/c.txt"));
  platform::SetProfileRoot(profile_.Path());
}

TEST_F(IECookies, FileHeldOpenForWritingIsLeftAlone) {
#ifdef _WIN32
  const std::string content = Record("a", "tracker.com/");
  profile_.Write(Cookies("c.txt"), content);
  {
    std::ofstream writer(profile_.Native(Cookies("c.txt")), std::ios::app);  // the browser
    ASSERT_TRUE(writer.is_open());
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(Clean(), 0);
  }
  EXPECT_EQ(profile_.Read(Cookies("c.txt")), content);
  EXPECT_EQ(Clean(), 1);
#else
  GTEST_SKIP() << "POSIX has no sharing modes";
#endif
}
