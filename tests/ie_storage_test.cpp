// Internet Explorer UserData and DOM storage: the cache index reader on built and
// real index.dat files, and the store over the seven storage folders.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_seed.h"
#include "stores/ie/cache_index.h"
#include "stores/ie/ie_userdata.h"
#include "stores/stores.h"
#include "support/temp_tree.h"

namespace {

struct IndexEntry {
  std::string url;
  uint8_t folder = 0;
  std::string file;
  uint32_t hash = 0x5A5A5A00;  // first byte 0: in use
};

void Put32(std::string& bytes, size_t offset, uint32_t value) {
  if (bytes.size() < offset + 4) bytes.resize(offset + 4, '\0');
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

// An index.dat as Internet Explorer lays it out: a header with the file size at 28,
// the first hash table's offset at 32 and the subfolder names at 80 + 12 * i; then
// the hash tables, one 512-byte block run each, chained in order, each followed by
// the "URL " records of its entries (two 128-byte blocks each).
class IndexBuilder {
 public:
  explicit IndexBuilder(std::vector<std::string> folders) : folders_(std::move(folders)) {}

  IndexBuilder& Table(std::vector<IndexEntry> entries) {
    tables_.push_back(std::move(entries));
    return *this;
  }

  std::string Build() {
    std::string bytes = "Client UrlCache MMF Ver 5.2";
    bytes.resize(0x200, '\0');
    for (size_t i = 0; i < folders_.size(); ++i) {
      std::string name = folders_[i];
      name.resize(8, '\0');
      bytes.replace(80 + 12 * i, 8, name);
    }
    size_t table = 0x200;
    Put32(bytes, 32, static_cast<uint32_t>(table));
    table_offsets_.clear();
    for (size_t t = 0; t < tables_.size(); ++t) {
      table_offsets_.push_back(table);
      const size_t records = table + 512;
      const size_t next = records + 256 * tables_[t].size();
      bytes.resize(next, '\0');
      bytes.replace(table, 4, "HASH");
      Put32(bytes, table + 4, 4);  // 4 blocks of 128 bytes
      Put32(bytes, table + 8, t + 1 < tables_.size() ? static_cast<uint32_t>(next) : 0);
      for (size_t e = 0; e < 62; ++e) {  // unused slots as IE leaves them
        Put32(bytes, table + 16 + 8 * e, 3);
        Put32(bytes, table + 20 + 8 * e, 0xDEADBEEF);
      }
      for (size_t e = 0; e < tables_[t].size(); ++e) {
        const IndexEntry& entry = tables_[t][e];
        const size_t record = records + 256 * e;
        Put32(bytes, table + 16 + 8 * e, entry.hash);
        Put32(bytes, table + 20 + 8 * e, static_cast<uint32_t>(record));
        bytes.replace(record, 4, "URL ");
        Put32(bytes, record + 4, 2);
        Put32(bytes, record + 52, 0x68);
        bytes[record + 56] = static_cast<char>(entry.folder);
        Put32(bytes, record + 60, 0x68 + static_cast<uint32_t>(entry.url.size()) + 1);
        bytes.replace(record + 0x68, entry.url.size(), entry.url);
        bytes.replace(record + 0x68 + entry.url.size() + 1, entry.file.size(), entry.file);
      }
      table = next;
    }
    Put32(bytes, 28, static_cast<uint32_t>(bytes.size()));
    return bytes;
  }

  size_t table_offset(size_t t) const { return table_offsets_[t]; }
  static size_t Record(size_t table_offset, size_t entry) { return table_offset + 512 + 256 * entry; }

 private:
  std::vector<std::string> folders_;
  std::vector<std::vector<IndexEntry>> tables_;
  std::vector<size_t> table_offsets_;
};

struct Found {
  std::string url, subfolder, file;
  bool operator==(const Found& other) const {
    return url == other.url && subfolder == other.subfolder && file == other.file;
  }
};

std::vector<Found> Walk(const TempTree& tree, const std::string& bytes, bool* opened = nullptr) {
  tree.Write("index.dat", bytes);
  std::vector<Found> found;
  CCacheIndex index;
  const bool ok = index.Open(tree.Path("index.dat"));
  if (opened != nullptr) *opened = ok;
  const char *url, *subfolder, *file;
  while (index.Next(&url, &subfolder, &file)) found.push_back(Found{url, subfolder, file});
  EXPECT_FALSE(index.Next(&url, &subfolder, &file));  // the walk stays over
  return found;
}

const IndexEntry kUser{"userdata:alice@https@www.tracker.com/page/", 1, "prefs[1].xml"};
const IndexEntry kDom{"domstore:http://x.ads.net/", 0, "x.ads[1].xml"};

}  // namespace

TEST(CacheIndex, WalksEveryTableOfTheChainAndSkipsFreeSlots) {
  TempTree tree;
  IndexBuilder builder({"AB12CD34", "ZZ99YY88"});
  builder.Table({kUser, IndexEntry{"Visited: alice@http://example.org/", 0, "example[1].htm"}})
      .Table({})
      .Table({kDom});
  const std::string bytes = builder.Build();
  SaveSeed("fuzz_cache_index", "chain.dat", bytes);
  EXPECT_EQ(Walk(tree, bytes),
            (std::vector<Found>{{kUser.url, "ZZ99YY88", kUser.file},
                                {"Visited: alice@http://example.org/", "AB12CD34", "example[1].htm"},
                                {kDom.url, "AB12CD34", kDom.file}}));
}

TEST(CacheIndex, BytesInMemoryAreWalkedLikeTheFile) {
  const std::string bytes = IndexBuilder({"AB12CD34"}).Table({kUser}).Table({kDom}).Build();
  CCacheIndex index;
  ASSERT_TRUE(index.OpenBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  const char *url, *subfolder, *file;
  ASSERT_TRUE(index.Next(&url, &subfolder, &file));
  EXPECT_STREQ(url, kUser.url.c_str());
  EXPECT_EQ(static_cast<const void*>(url), static_cast<const void*>(bytes.data() + IndexBuilder::Record(0x200, 0) + 0x68));
  ASSERT_TRUE(index.Next(&url, &subfolder, &file));
  EXPECT_STREQ(file, kDom.file.c_str());
  EXPECT_FALSE(index.Next(&url, &subfolder, &file));
  EXPECT_FALSE(index.OpenBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size() - 1));
  EXPECT_FALSE(index.OpenBytes(nullptr, 0));
  EXPECT_FALSE(index.Next(&url, &subfolder, &file));
}

TEST(CacheIndex, HeaderTestsDecideWhetherTheFileOpens) {
  TempTree tree;
  const std::string good = IndexBuilder({"AB12CD34"}).Table({kUser}).Build();
  bool opened = false;
  EXPECT_EQ(Walk(tree, good, &opened).size(), 1u);
  EXPECT_TRUE(opened);

  std::string wrong_size = good;
  Put32(wrong_size, 28, static_cast<uint32_t>(good.size() - 1));
  EXPECT_TRUE(Walk(tree, wrong_size, &opened).empty());
  EXPECT_FALSE(opened);

  std::string no_hash = good;
  no_hash.replace(0x200, 4, "HASX");
  EXPECT_TRUE(Walk(tree, no_hash, &opened).empty());
  EXPECT_FALSE(opened);

  std::string table_outside = good;
  Put32(table_outside, 32, static_cast<uint32_t>(good.size() - 2));
  EXPECT_TRUE(Walk(tree, table_outside, &opened).empty());
  EXPECT_FALSE(opened);

  std::string tiny(36, '\0');
  Put32(tiny, 28, 36);
  EXPECT_TRUE(Walk(tree, tiny, &opened).empty());
  EXPECT_FALSE(opened);
  EXPECT_TRUE(Walk(tree, "", &opened).empty());
  EXPECT_FALSE(opened);

  CCacheIndex index;
  EXPECT_FALSE(index.Open(tree.Path("missing.dat")));
}

TEST(CacheIndex, EntriesPointingOutsideOrUnsoundAreSkippedAndTheWalkGoesOn) {
  TempTree tree;
  IndexBuilder builder({"AB12CD34"});
  std::vector<IndexEntry> entries(8, kDom);
  entries[0].hash = 0x5A5A5A03;  // first byte 3: a free slot with a valid record
  builder.Table(entries);
  std::string bytes = builder.Build();
  const size_t table = builder.table_offset(0);
  Put32(bytes, table + 20 + 8 * 1, 0);                                   // no record
  Put32(bytes, table + 20 + 8 * 2, static_cast<uint32_t>(bytes.size() - 4));  // record outside
  Put32(bytes, IndexBuilder::Record(table, 3) + 4, 0);                   // 0 blocks
  Put32(bytes, IndexBuilder::Record(table, 4) + 4, 1000);                // reaches past the end
  bytes[IndexBuilder::Record(table, 5) + 56] = 32;                       // subfolder 32
  bytes.replace(IndexBuilder::Record(table, 6), 4, "REDR");              // not a URL record
  Put32(bytes, IndexBuilder::Record(table, 7) + 60, 0x100);              // name past the record
  SaveSeed("fuzz_cache_index", "unsound.dat", bytes);
  EXPECT_TRUE(Walk(tree, bytes).empty());

  // An unterminated URL: the record is filled to its end without a NUL.
  std::string unterminated = IndexBuilder({"AB12CD34"}).Table({kDom, kUser}).Build();
  const size_t record = IndexBuilder::Record(0x200, 0);
  unterminated.replace(record + 0x68, 256 - 0x68, std::string(256 - 0x68, 'u'));
  const std::vector<Found> found = Walk(tree, unterminated);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].url, kUser.url);
}

TEST(CacheIndex, ASubfolderTableEntryOutsideTheFileIsSkipped) {
  TempTree tree;
  // A small file whose subfolder table ends before entry 31.
  std::string bytes(0x180, '\0');
  Put32(bytes, 28, 0x180);
  Put32(bytes, 32, 0x100);
  bytes.replace(0x100, 4, "HASH");
  Put32(bytes, 0x104, 1);
  Put32(bytes, 0x114, 0x80);  // entry 0 -> record at 0x80, one block
  bytes.replace(0x80, 4, "URL ");
  Put32(bytes, 0x84, 1);
  Put32(bytes, 0x80 + 52, 0x40);
  bytes[0x80 + 56] = 31;  // 80 + 12 * 31 = 452 lies past the end
  Put32(bytes, 0x80 + 60, 0x50);
  bytes.replace(0x80 + 0x40, 10, "domstore:x");
  bytes.replace(0x80 + 0x50, 4, "f.xm");
  EXPECT_TRUE(Walk(tree, bytes).empty());
  bytes[0x80 + 56] = 1;  // 80 + 12 = 92: inside
  EXPECT_EQ(Walk(tree, bytes).size(), 1u);
}

TEST(CacheIndex, AChainThatLoopsEnds) {
  TempTree tree;
  IndexBuilder builder({"AB12CD34"});
  builder.Table({kUser}).Table({kDom});
  std::string bytes = builder.Build();
  Put32(bytes, builder.table_offset(1) + 8, static_cast<uint32_t>(builder.table_offset(0)));
  SaveSeed("fuzz_cache_index", "loop.dat", bytes);
  EXPECT_EQ(Walk(tree, bytes).size(), 2u);
  Put32(bytes, builder.table_offset(1) + 8, static_cast<uint32_t>(builder.table_offset(1)));
  EXPECT_EQ(Walk(tree, bytes).size(), 2u);
}

TEST(CacheIndex, ATableReachingPastTheFileEndsTheWalk) {
  TempTree tree;
  IndexBuilder builder({"AB12CD34"});
  builder.Table({kUser});
  std::string bytes = builder.Build();
  Put32(bytes, builder.table_offset(0) + 4, 0xFFFFFFFF);  // far more blocks than the file has
  EXPECT_EQ(Walk(tree, bytes).size(), 1u);
}

TEST(CacheIndex, RealIndexFilesAreWalkedWholeAndHoldNoStorageEntries) {
  TempTree tree;
  // History entries name no cache subfolder (index 254), so none of them is yielded.
  const struct {
    const char* name;
    int entries;
  } files[] = {{"msie/content-ie5-index.dat", 21}, {"msie/history-ie5-index.dat", 0},
               {"msie/nfury-index.dat", 984}};
  for (const auto& real : files) {
    SCOPED_TRACE(real.name);
    tree.CopyTestData(real.name, "index.dat");
    CCacheIndex index;
    ASSERT_TRUE(index.Open(tree.Path("index.dat")));
    const char *url, *subfolder, *file;
    int entries = 0;
    int storage = 0;
    while (index.Next(&url, &subfolder, &file)) {
      ++entries;
      CIEUserdata item;
      if (item.SetSiteFromUrl(url)) ++storage;
    }
    EXPECT_EQ(entries, real.entries);
    EXPECT_EQ(storage, 0);
  }
}

TEST(UserdataUrl, UserdataAndDomstoreUrlsGiveTheirSite) {
  CIEUserdata item;
  EXPECT_TRUE(item.SetSiteFromUrl("userdata:alice@https@www.tracker.com/page/"));
  EXPECT_EQ(item.m_strSite, L"www.tracker.com/page/");
  EXPECT_TRUE(item.SetSiteFromUrl("UserData:bob@HTTP@example.org"));
  EXPECT_EQ(item.m_strSite, L"example.org");
  EXPECT_TRUE(item.SetSiteFromUrl("DOMSTORE:https://x.ads.net/store"));
  EXPECT_EQ(item.m_strSite, L"x.ads.net/store");
  EXPECT_TRUE(item.SetSiteFromUrl("domstore:http://caf\xe9.example/"));
  EXPECT_EQ(item.m_strSite, L"caf\u00e9.example/");

  item.m_strSite = L"unchanged";
  for (const char* url : {"userdata:alice", "userdata:alice@ftp@x.com", "userdata:@", "domstore:ftp://x.com",
                          "domstore:", "Visited: alice@http://x.com/", "http://x.com/", ""}) {
    SCOPED_TRACE(url);
    EXPECT_FALSE(item.SetSiteFromUrl(url));
    EXPECT_EQ(item.m_strSite, L"unchanged");
  }
}

TEST(UserdataFile, EightBitAndUtf16ValuesWithLineBreaksAsSpaces) {
  TempTree tree;
  const std::wstring folder = tree.Path() + L"\\";
  CIEUserdata item;
  tree.Write("SUB/a.xml", "<root>\r\n<v>1</v>\n</root>");
  ASSERT_TRUE(ReadUserdataFile(item, folder, "SUB", "a.xml"));
  EXPECT_EQ(item.m_strName, L"a.xml");
  EXPECT_EQ(item.m_strValue, L"<root>  <v>1</v> </root>");

  tree.Write("SUB/u.xml", std::string("\xff\xfe" "a\0\r\0b\0\xe9\0\x3a\x04", 12));
  ASSERT_TRUE(ReadUserdataFile(item, folder, "SUB", "u.xml"));
  EXPECT_EQ(item.m_strValue, L"a b\u00e9\u043a");

  tree.Write("SUB/five.xml", "abcde");
  ASSERT_TRUE(ReadUserdataFile(item, folder, "SUB", "five.xml"));
  EXPECT_EQ(item.m_strValue, L"abcd");  // an odd last byte is dropped

  tree.Write("SUB/zero.xml", std::string("ab\0cd", 5));
  ASSERT_TRUE(ReadUserdataFile(item, folder, "SUB", "zero.xml"));
  EXPECT_EQ(item.m_strValue, L"ab");
}

TEST(UserdataFile, LongFilesShowTheirFirst510Bytes) {
  TempTree tree;
  const std::wstring folder = tree.Path() + L"\\";
  CIEUserdata item;
  tree.Write("SUB/long.xml", std::string(700, 'x'));
  ASSERT_TRUE(ReadUserdataFile(item, folder, "SUB", "long.xml"));
  EXPECT_EQ(item.m_strValue, std::wstring(510, L'x'));
  std::string utf16 = "\xff\xfe";
  for (int i = 0; i < 400; ++i) utf16 += std::string("y\0", 2);
  tree.Write("SUB/long16.xml", utf16);
  ASSERT_TRUE(ReadUserdataFile(item, folder, "SUB", "long16.xml"));
  EXPECT_EQ(item.m_strValue, std::wstring(254, L'y'));
}

TEST(UserdataFile, MissingAndEmptyFilesAreNotRead) {
  TempTree tree;
  const std::wstring folder = tree.Path() + L"\\";
  CIEUserdata item;
  tree.Write("SUB/empty.xml", "");
  tree.MakeDir("SUB/folder.xml");
  EXPECT_FALSE(ReadUserdataFile(item, folder, "SUB", "empty.xml"));
  EXPECT_FALSE(ReadUserdataFile(item, folder, "SUB", "missing.xml"));
  EXPECT_FALSE(ReadUserdataFile(item, folder, "SUB", "folder.xml"));
}

namespace {

// The seven storage folders, relative to the profile.
const char* const kFolders[] = {
    "UserData/",
    "AppData/Roaming/Microsoft/Internet Explorer/UserData/",
    "AppData/Roaming/Microsoft/Internet Explorer/UserData/Low/",
    "AppData/Local/Microsoft/Internet Explorer/DOMStore/",
    "AppData/Local/Microsoft/Internet Explorer/DOMStore/Low/",
    "AppData/LocalLow/Microsoft/Internet Explorer/DOMStore/",
    "AppData/LocalLow/Microsoft/Internet Explorer/DOMStore/Low/",
};

class IEStorage : public testing::Test {
 protected:
  int Scan() {
    found_.clear();
    return ProcessIEUserdata(filter_, found_, false);
  }
  int Clean() {
    CIEUserdataArray scratch;
    const int count = ProcessIEUserdata(filter_, scratch, true);
    EXPECT_TRUE(scratch.empty());
    return count;
  }

  TempProfile profile_;
  CCookieFilter filter_{L"*.tracker.com\n*.ads.net\n"};
  CIEUserdataArray found_;
};

}  // namespace

TEST_F(IEStorage, EverySevenFoldersIndexIsReadInOrder) {
  for (size_t i = 0; i < 7; ++i) {
    const std::string folder = kFolders[i];
    const std::string file = "f" + std::to_string(i) + ".xml";
    profile_.Write(folder + "index.dat",
                   IndexBuilder({"SUB00000"}).Table({{"domstore:http://x.ads.net/", 0, file}}).Build());
    profile_.Write(folder + "SUB00000/" + file, "value " + std::to_string(i) + ".");
  }
  EXPECT_EQ(Scan(), 7);
  ASSERT_EQ(found_.size(), 7u);
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(found_[i].m_strName, L"f" + std::to_wstring(i) + L".xml");
    EXPECT_EQ(found_[i].m_strValue, L"value " + std::to_wstring(i) + L".");
    EXPECT_EQ(found_[i].m_strSite, L"x.ads.net/");
    EXPECT_EQ(found_[i].GetExpires(), L"Unknown");
  }
  EXPECT_EQ(Clean(), 7);
  EXPECT_EQ(Scan(), 0);
}

TEST_F(IEStorage, CleanDeletesEvilDataFilesOnlyAndLeavesTheIndexByteForByte) {
  const std::string folder = kFolders[1];
  const std::string index = IndexBuilder({"AB12CD34", "ZZ99YY88"})
                                .Table({kUser,
                                        {"userdata:alice@http@example.org/", 0, "keep[1].xml"},
                                        {"domstore:https://news.example/", 1, "news[1].xml"},
                                        {"domstore:http://x.ads.net/", 0, "missing[1].xml"},
                                        {"domstore:http://x.ads.net/", 0, "empty[1].xml"}})
                                .Table({kDom})
                                .Build();
  SaveSeed("fuzz_cache_index", "store.dat", index);
  profile_.Write(folder + "index.dat", index);
  profile_.Write(folder + "ZZ99YY88/prefs[1].xml", "<prefs/>");
  profile_.Write(folder + "AB12CD34/keep[1].xml", "<keep/>");
  profile_.Write(folder + "ZZ99YY88/news[1].xml", "<news/>");
  profile_.Write(folder + "AB12CD34/empty[1].xml", "");
  profile_.Write(folder + "AB12CD34/x.ads[1].xml", "<x/>");
  EXPECT_EQ(Scan(), 2);
  ASSERT_EQ(found_.size(), 2u);
  EXPECT_EQ(found_[0].m_strSite, L"www.tracker.com/page/");
  EXPECT_EQ(found_[0].m_strValue, L"<prefs/>");
  EXPECT_EQ(found_[1].m_strName, L"x.ads[1].xml");
  EXPECT_TRUE(profile_.Exists(folder + "ZZ99YY88/prefs[1].xml"));

  EXPECT_EQ(Clean(), 2);
  EXPECT_FALSE(profile_.Exists(folder + "ZZ99YY88/prefs[1].xml"));
  EXPECT_FALSE(profile_.Exists(folder + "AB12CD34/x.ads[1].xml"));
  EXPECT_TRUE(profile_.Exists(folder + "AB12CD34/keep[1].xml"));
  EXPECT_TRUE(profile_.Exists(folder + "ZZ99YY88/news[1].xml"));
  EXPECT_TRUE(profile_.Exists(folder + "AB12CD34/empty[1].xml"));
  EXPECT_EQ(profile_.Read(folder + "index.dat"), index);
  EXPECT_EQ(Clean(), 0);
}

TEST_F(IEStorage, NamesThatLeaveTheStorageFolderAreNeverReadOrDeleted) {
  const std::string folder = kFolders[0];
  profile_.Write("precious.txt", "precious");
  profile_.Write(folder + "SUB00000/inner.txt", "inner");
  profile_.Write(folder + "index.dat",
                 IndexBuilder({"SUB00000", ".."})
                     .Table({{"domstore:http://x.ads.net/", 0, "..\\..\\precious.txt"},
                             {"domstore:http://x.ads.net/", 1, "precious.txt"},
                             {"domstore:http://x.ads.net/", 0, "../../precious.txt"}})
                     .Build());
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(Clean(), 0);
  EXPECT_EQ(profile_.Read("precious.txt"), "precious");
}

TEST_F(IEStorage, MissingFoldersAndRealIndexFilesGiveNothing) {
  EXPECT_EQ(Scan(), 0);
  profile_.CopyTestData("msie/content-ie5-index.dat", std::string(kFolders[3]) + "index.dat");
  profile_.CopyTestData("msie/nfury-index.dat", std::string(kFolders[1]) + "index.dat");
  filter_ = CCookieFilter(L"*\n");
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(Clean(), 0);
}
