// The Safari cookie plist: its line scanner and the rewrite of a clean.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fuzz_seed.h"
#include "stores/safari/safari_plist.h"
#include "stores/stores.h"
#include "text/textfile.h"
#include "support/temp_tree.h"

namespace {

const std::string kPlist =
    std::string(TempProfile::kAppData) + "/Apple Computer/Safari/Cookies/Cookies.plist";

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n"
    "<array>\n";
const std::string kTail = "</array>\n</plist>\n";

// One entry as Safari writes it: indented, keys in its own order.
std::string Entry(const std::string& domain, const std::string& name, const std::string& extra = "") {
  return "\t<dict>\n"
         "\t\t<key>Created</key>\n\t\t<real>294365102.5</real>\n"
         "\t\t<key>Domain</key>\n\t\t<string>" + domain + "</string>\n"
         "\t\t<key>Expires</key>\n\t\t<date>2031-05-12T13:45:12Z</date>\n"
         "\t\t<key>Name</key>\n\t\t<string>" + name + "</string>\n"
         "\t\t<key>Path</key>\n\t\t<string>/</string>\n" + extra +
         "\t\t<key>Value</key>\n\t\t<string>v-" + name + "</string>\n"
         "\t</dict>\n";
}

class SafariCookies : public testing::Test {
 protected:
  int Scan() {
    found_.clear();
    return ProcessSafariCookies(filter_, found_, false);
  }
  int Clean() {
    CSafariCookieArray scratch;
    const int count = ProcessSafariCookies(filter_, scratch, true);
    EXPECT_TRUE(scratch.empty());
    return count;
  }
  std::string Plist() const { return profile_.Read(kPlist); }
  // Writes the plist, which also seeds the fuzzer of the scanner.
  void WritePlist(const std::string& name, const std::string& bytes) {
    SaveSeed("fuzz_safari_plist", name, bytes);
    profile_.Write(kPlist, bytes);
  }

  TempProfile profile_;
  CCookieFilter filter_{L"*.tracker.com\n*.ads.net\n"};
  CSafariCookieArray found_;
};

}  // namespace

TEST_F(SafariCookies, ScanFindsEvilEntriesWithAllFieldsAndChangesNothing) {
  const std::string file = kHead + Entry(".tracker.com", "id", "\t\t<key>Secure</key>\n\t\t<string>FALSE</string>\n") +
                           Entry("www.example.org", "lang") + Entry("x.ads.net", "uid") + kTail;
  WritePlist("ScanFindsEvilEntriesWithAllFieldsAndChangesNothing1.plist", file);
  EXPECT_EQ(Scan(), 2);
  ASSERT_EQ(found_.size(), 2u);
  EXPECT_EQ(found_[0].m_strDomain, L".tracker.com");
  EXPECT_EQ(found_[0].m_strSite, L".tracker.com/");
  EXPECT_EQ(found_[0].m_strName, L"id");
  EXPECT_EQ(found_[0].m_strValue, L"v-id");
  EXPECT_EQ(found_[0].m_strCreated, L"294365102.5");
  EXPECT_EQ(found_[0].m_strExpires, L"2031-05-12T13:45:12Z");
  EXPECT_EQ(found_[0].m_strPath, L"/");
  EXPECT_EQ(found_[0].m_strSecure, L"FALSE");
  EXPECT_EQ(found_[1].m_strName, L"uid");
  EXPECT_TRUE(found_[1].m_strSecure.empty());
  EXPECT_EQ(Plist(), file);
}

TEST_F(SafariCookies, CleanRemovesTheEvilEntriesAndKeepsEveryOtherByte) {
  const std::string secure_false = "\t\t<key>Secure</key>\n\t\t<string>FALSE</string>\n";
  const std::string http_only = "  <key>HttpOnly</key>\r\n  <string>TRUE</string>\r\n";
  const std::string head = "  " + kHead;
  const std::string kept = Entry("a.example", "one", http_only) + Entry("b.example", "two", secure_false);
  const std::string tail = "   </array>\r\n</plist>\n";
  WritePlist("CleanWritesHeadKeptEntriesInTheFixedLayoutAndTail1.plist",
             head + Entry(".tracker.com", "evil") + kept + Entry("x.ads.net", "evil2") + tail);
  EXPECT_EQ(Clean(), 2);
  EXPECT_EQ(Plist(), head + kept + tail);
  EXPECT_EQ(Scan(), 0);
}

TEST_F(SafariCookies, CleanWithNothingEvilDoesNotWriteTheFile) {
  const std::string file = kHead + Entry("a.example", "one", "<key>HttpOnly</key>\r\n<string>TRUE</string>\n") + kTail;
  WritePlist("CleanWithNothingEvilStillWritesTheFixedLayout1.plist", file);
  // A rewrite would put a new file in place: the second name would keep the old one.
  const std::filesystem::path plist = profile_.Native(kPlist);
  std::filesystem::create_hard_link(plist, profile_.Native("second-name.plist"));
  EXPECT_EQ(Clean(), 0);
  EXPECT_EQ(Plist(), file);
  EXPECT_TRUE(std::filesystem::equivalent(plist, profile_.Native("second-name.plist")));
}

TEST_F(SafariCookies, KeysAndTypesIgnoreCaseAndEntitiesStay) {
  const std::string odd =
      "<dict>\n<key>domain</key>\n<STRING>.tracker.com</STRING>\n"
      "<key>Comment</key>\n<string>dropped</string>\n"
      "<key>Value</key>\n<string>a&amp;b</string>\n"
      "<key>Name</key>\n<integer>5</integer>\n"
      "<key>Name</key>\n<string>n1</string>\n"
      "<key>Name</key>\n<string>n2</string>\n</DICT>\n";
  WritePlist("KeysAndTypesIgnoreCaseOtherPairsAreDroppedEntitiesStay1.plist",
             kHead + odd + Entry("keep.example", "k") + kTail);
  EXPECT_EQ(Scan(), 1);
  ASSERT_EQ(found_.size(), 1u);
  EXPECT_EQ(found_[0].m_strDomain, L".tracker.com");
  EXPECT_EQ(found_[0].m_strValue, L"a&amp;b");
  EXPECT_EQ(found_[0].m_strName, L"n2");  // a later pair replaces an earlier one
  EXPECT_TRUE(found_[0].m_strCreated.empty());
  EXPECT_EQ(found_[0].m_strSite, L".tracker.com");
  filter_ = CCookieFilter(L"*.keep.example\n");
  EXPECT_EQ(Clean(), 1);  // the other entry keeps its lines, unknown pairs and all
  EXPECT_EQ(Plist(), kHead + odd + kTail);
}

TEST_F(SafariCookies, AnEntryThatDoesNotParseAndAllAfterItAreKeptVerbatim) {
  const std::string broken = "\t<dict>\r\n\t\t<key>Domain</key>\n\t\t<string>.tracker.com\n"
                             "\t\t</string>\n\t</dict>\n";
  const std::string rest = broken + Entry("x.ads.net", "after") + "  " + kTail;
  WritePlist("AnEntryThatDoesNotParseAndAllAfterItAreKeptVerbatim1.plist", kHead + Entry(".tracker.com", "gone") + Entry("a.example", "one") + rest);
  EXPECT_EQ(Scan(), 1);  // the scan ends at the entry that does not parse
  EXPECT_EQ(Clean(), 1);
  EXPECT_EQ(Plist(), kHead + Entry("a.example", "one") + rest);
}

TEST_F(SafariCookies, BooleanValuesAndMissingKeysAreEntriesThatDoNotParse) {
  for (const std::string& broken :
       {std::string("<dict>\n<key>Secure</key>\n<true/>\n</dict>\n"),
        std::string("<dict>\n<string>no key line</string>\n</dict>\n"),
        std::string("<dict>\n<key>Name</key>\n")}) {
    SCOPED_TRACE(broken);
    const std::string rest = broken + Entry(".tracker.com", "after") + kTail;
    WritePlist("BooleanValuesAndMissingKeysAreEntriesThatDoNotParse1.plist", kHead + Entry(".ads.net", "first") + rest);
    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(Clean(), 1);
    EXPECT_EQ(Plist(), kHead + rest);
  }
}

TEST_F(SafariCookies, AFileWithoutEntriesIsLeftUnchanged) {
  const std::string empty_array = kHead.substr(0, kHead.size() - 8) + "  <array/>\n</plist>\n";
  WritePlist("AFileWithoutEntriesIsLeftUnchanged1.plist", empty_array);
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(Clean(), 0);
  EXPECT_EQ(Plist(), empty_array);
}

TEST_F(SafariCookies, BytesAfterACtrlZAreKept) {
  const std::string after = std::string("\x1a") + "<dict>\nhidden\xff\n";
  WritePlist("BytesAfterACtrlZAreKept1.plist", kHead + Entry(".tracker.com", "gone") + kTail + after);
  EXPECT_EQ(Clean(), 1);
  EXPECT_EQ(Plist(), kHead + kTail + after);
}

TEST_F(SafariCookies, EightBitBytesSurviveARewrite) {
  WritePlist("EightBitBytesSurviveARewrite1.plist", kHead + Entry("a.example", "caf\xe9\x80") + Entry(".tracker.com", "x") + kTail);
  EXPECT_EQ(Clean(), 1);
  EXPECT_EQ(Plist(), kHead + Entry("a.example", "caf\xe9\x80") + kTail);
}

TEST_F(SafariCookies, MissingOrLockedFilesGiveNothing) {
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(Clean(), 0);
  EXPECT_FALSE(profile_.Exists(kPlist));
}

TEST_F(SafariCookies, AFailedRewriteLeavesTheOriginal) {
  const std::string file = kHead + Entry(".tracker.com", "gone") + kTail;
  WritePlist("AFailedRewriteLeavesTheOriginal1.plist", file);
  // The new file cannot be created where a folder of its name stands.
  for (int i = 0; i < CFile::kNewFileNames; ++i) profile_.MakeDir(kPlist + CFile::NewFileSuffix(i));
  EXPECT_EQ(Clean(), 0);
  EXPECT_EQ(Plist(), file);
}

TEST(SafariPlistScanner, HeadAndEntriesSplitTheFile) {
  TempTree tree;
  tree.Write("c.plist", "  <?xml?>\n<plist>\n\t<array>\n  <DICT>  \n<key>Name</key>\n<string>n</string>\n"
                        "</dict>\nnot an entry\n<dict>\n</plist>\n");
  CStdioFileEx file(tree.Path("c.plist"));
  EXPECT_EQ(ReadPlistHead(file, L"<dict>"), L"<?xml?>\n<plist>\n<array>\n");
  CSafariCookie cookie;
  ASSERT_TRUE(cookie.ReadDict(file));
  EXPECT_EQ(cookie.m_strName, L"n");
  EXPECT_FALSE(cookie.ReadDict(file));  // "not an entry"
}

TEST(SafariPlistScanner, ReadKeyValueTakesTheFirstTagOfTheValueLine) {
  TempTree tree;
  tree.Write("c.plist", "x <key>Domain</key> y\n  <string>a</string><b>c</b>\n<key>K</key>\n<a>b</c>\n</dict>\n");
  CStdioFileEx file(tree.Path("c.plist"));
  CSafariCookie cookie;
  std::wstring key, type, value;
  bool end = false;
  ASSERT_TRUE(cookie.ReadKeyValue(file, key, type, value, end));
  EXPECT_FALSE(end);
  EXPECT_EQ(key, L"Domain");
  EXPECT_EQ(type, L"string");
  EXPECT_EQ(value, L"a");
  EXPECT_FALSE(cookie.ReadKeyValue(file, key, type, value, end));  // no "</a>"
  ASSERT_TRUE(cookie.ReadKeyValue(file, key, type, value, end));
  EXPECT_TRUE(end);
  EXPECT_FALSE(cookie.ReadKeyValue(file, key, type, value, end));  // end of file
}

TEST(SafariPlistScanner, AHeadWithoutDictIsEmpty) {
  TempTree tree;
  tree.Write("c.plist", "<plist>\n<array/>\n</plist>\n");
  CStdioFileEx file(tree.Path("c.plist"));
  EXPECT_EQ(ReadPlistHead(file, L"<dict>"), L"");
}
