// The Chromium family's local storage on databases written with LevelDB in the
// browsers' key layout: what a scan shows and leaves, what a clean removes and
// keeps, and databases held by a running browser or damaged.
#include <gtest/gtest.h>

#include <leveldb/db.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/leveldb_env.h"
#include "platform/platform.h"
#include "scan/browsers.h"
#include "sqlite_support.h"
#include "stores/chromium/local_storage.h"
#include "support/temp_tree.h"

namespace {

const CCookieFilter kFilter(L"*.tracker.example\n");

// Text with its kind byte, as keys and values hold it.
std::string Latin1(const std::string& text) { return '\x01' + text; }
std::string Utf16(const std::string& ascii) {
  std::string bytes(1, '\0');
  for (char c : ascii) bytes += std::string{c, '\0'};
  return bytes;
}

// A local storage database opened with LevelDB itself (created when missing).
class StorageDb {
 public:
  explicit StorageDb(const std::wstring& folder) {
    leveldb::Options options;
    options.env = platform::LevelDbEnv();
    options.create_if_missing = true;
    leveldb::DB* db = nullptr;
    const leveldb::Status status =
        leveldb::DB::Open(options, platform::PathForLevelDb(folder), &db);
    EXPECT_TRUE(status.ok()) << status.ToString();
    db_.reset(db);
  }
  void Put(const std::string& key, const std::string& value) {
    ASSERT_TRUE(db_->Put(leveldb::WriteOptions(), key, value).ok());
  }
  // Moves everything from the log into table files.
  void CompactAll() { db_->CompactRange(nullptr, nullptr); }
  std::map<std::string, std::string> All() {
    std::map<std::string, std::string> all;
    std::unique_ptr<leveldb::Iterator> it(db_->NewIterator(leveldb::ReadOptions()));
    for (it->SeekToFirst(); it->Valid(); it->Next()) all[it->key().ToString()] = it->value().ToString();
    return all;
  }

 private:
  std::unique_ptr<leveldb::DB> db_;
};

struct Entry {
  std::string origin;
  std::string key;    // the page's key, kind byte first
  std::string value;  // kind byte first
};

// Writes a database as a browser keeps it: VERSION, and for each origin its META
// and METAACCESS records beside its values.
void WriteDatabase(const std::wstring& folder, const std::vector<Entry>& entries, bool in_tables,
                   std::map<std::string, std::string>* written = nullptr) {
  StorageDb db(folder);
  db.Put("VERSION", "1");
  for (const Entry& e : entries) {
    db.Put("META:" + e.origin, std::string("\x08\x80\xa4\xe8\x03\x10\x2a", 7));
    db.Put("METAACCESS:" + e.origin, std::string("\x08\x90\xa4\xe8\x03", 5));
    if (!e.key.empty()) db.Put("_" + e.origin + std::string(1, '\0') + e.key, e.value);
  }
  if (in_tables) db.CompactAll();
  if (written != nullptr) *written = db.All();
}

ChromiumBrowser Member(Browser browser) {
  return ChromiumBrowser{static_cast<int>(browser), BrowserOf(browser).chromium_user_data};
}

std::vector<std::string> Shown(const CChromiumLocalStorageArray& items) {
  std::vector<std::string> shown;
  for (const CChromiumLocalStorage& item : items) {
    shown.push_back(platform::Utf8FromWide(item.GetDisplaySite() + L"|" + item.m_strName + L"|" +
                                           item.m_strValue + L"|" + item.GetExpires()));
  }
  return shown;
}

// ---- Scan and clean

struct DatabaseCase {
  const char* what;
  Browser browser;
  const char* profile;  // the Windows user profile, below the test's folder
  const char* folder;   // the browser's profile folder, below the Windows profile
  bool in_tables;       // values moved into table files, else only in the log
  std::vector<Entry> entries;
  std::set<std::string> evil;      // the evil origins
  std::vector<std::string> shown;  // the scan's items
};

const DatabaseCase kDatabases[] = {
    {"values in the log; the other origins' hosts are harmless", Browser::kEdge, "ann",
     "AppData/Local/Microsoft/Edge/User Data/Default", false,
     {{"https://ads.tracker.example", Utf16("uid"), Utf16("Rt5vYb2N")},
      {"https://ads.tracker.example", Latin1("seg"), Latin1("k3Jd9PqW")},
      {"https://news.example", Latin1("theme"), Latin1("dark")},
      {"http://shop.example:8080", Utf16("cart"), Utf16("w7Hc")}},
     {"https://ads.tracker.example"},
     {"ads.tracker.example (Default)|2 keys: uid|Rt5vYb2N|Unknown"}},
    {"values in tables, a profile path outside the code page", Browser::kChrome,
     "Zo\xC3\xAB \xC5\x81ukasz \xE6\x97\xA5\xE6\x9C\xAC",
     "AppData/Local/Google/Chrome/User Data/Profile 4", true,
     {{"https://cdn.tracker.example:8443", Latin1("id"), Latin1("Ux4\x07Lm9Qz")},
      {"https://tracker.example.news.example", Latin1("id"), Latin1("fG2sQ")},
      {"https://[::1]:9000", Utf16("k"), Utf16("Np3x")}},
     {"https://cdn.tracker.example:8443"},
     {"cdn.tracker.example (Profile 4)|1 key: id|Ux4 Lm9Qz|Unknown"}},
    {"Opera's folder is a profile; an origin with records but no values", Browser::kOpera, "bo",
     "AppData/Roaming/Opera Software/Opera Stable", true,
     {{"https://pix.tracker.example", "", ""},
      {"http://ads.tracker.example", Utf16("v"), Utf16("Hy8Kd0")},
      {"https://mail.example", Utf16("draft"), Utf16("Tq9Wz")}},
     {"https://pix.tracker.example", "http://ads.tracker.example"},
     {"ads.tracker.example (Opera Stable)|1 key: v|Hy8Kd0|Unknown",
      "pix.tracker.example (Opera Stable)|0 keys||Unknown"}},
};

TEST(LocalStorageDatabases, ScanChangesNothingAndCleanLeavesExactlyTheHarmlessOrigins) {
  for (const DatabaseCase& c : kDatabases) {
    SCOPED_TRACE(c.what);
    TempTree tree;
    ProfileAt at(tree, c.profile);
    const std::string folder = std::string(c.profile) + "/" + c.folder + "/Local Storage/leveldb";
    tree.MakeDir(std::string(c.profile) + "/" + c.folder + "/Local Storage");
    std::map<std::string, std::string> written;
    WriteDatabase(tree.Path(folder), c.entries, c.in_tables, &written);
    std::map<std::string, std::string> kept = written;
    for (const std::string& origin : c.evil) {
      std::erase_if(kept, [&origin](const auto& record) {
        return record.first == "META:" + origin || record.first == "METAACCESS:" + origin ||
               record.first.starts_with("_" + origin + std::string(1, '\0'));
      });
    }
    // Each evil value lies in some file of the database before the clean, in none after.
    const auto evil_values_in = [&c](const std::map<std::string, std::string>& files, bool expected) {
      for (const Entry& e : c.entries) {
        if (c.evil.count(e.origin) == 0 || e.value.empty()) continue;
        EXPECT_EQ(std::any_of(files.begin(), files.end(), [&e](const auto& file) {
                    return file.second.find(e.value.substr(1)) != std::string::npos;
                  }), expected) << e.origin;
      }
    };
    const auto before = Snapshot(tree, folder);
    evil_values_in(before, true);

    CChromiumLocalStorageArray items;
    HeldStores held;
    EXPECT_EQ(ProcessChromiumLocalStorage(Member(c.browser), kFilter, items, false, &held),
              static_cast<int>(c.shown.size()));
    EXPECT_EQ(Shown(items), c.shown);
    EXPECT_EQ(Snapshot(tree, folder), before);

    EXPECT_EQ(ProcessChromiumLocalStorage(Member(c.browser), kFilter, items, true, &held),
              static_cast<int>(c.evil.size()));
    EXPECT_TRUE(held.empty());
    evil_values_in(Snapshot(tree, folder), false);
    EXPECT_EQ(StorageDb(tree.Path(folder)).All(), kept);
  }
}

// ---- Databases left alone

constexpr char kDatabase[] = "AppData/Local/Vivaldi/User Data/Profile 2/Local Storage/leveldb";

TEST(LocalStorageLeftAlone, HeldOrDamagedDatabasesAreReportedAtOnceAndNotChanged) {
  namespace fs = std::filesystem;
  const struct {
    const char* what;
    // Damages the database, or holds it (returned) as a running browser does.
    std::unique_ptr<LockHolder> (*prepare)(const TempTree& tree);
  } cases[] = {
      {"a running browser holds its LOCK",
       [](const TempTree& tree) {
         return std::make_unique<LockHolder>(tree.Path(kDatabase), kHeldByLevelDb, tree);
       }},
      {"CURRENT is missing",
       [](const TempTree& tree) {
         fs::remove(tree.Native(std::string(kDatabase) + "/CURRENT"));
         return std::unique_ptr<LockHolder>();
       }},
      {"a table file is cut short",
       [](const TempTree& tree) {
         for (const auto& file : fs::directory_iterator(tree.Native(kDatabase))) {
           if (file.path().extension() == ".ldb") fs::resize_file(file.path(), file.file_size() / 2);
         }
         return std::unique_ptr<LockHolder>();
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempProfile tree;
    tree.MakeDir(fs::path(kDatabase).parent_path().string());
    WriteDatabase(tree.Path(kDatabase), {{"https://ads.tracker.example", Latin1("id"), Latin1("x")}}, true);
    const std::unique_ptr<LockHolder> holder = c.prepare(tree);
    const auto before = Snapshot(tree, kDatabase);
    for (const bool clean : {false, true}) {
      CChromiumLocalStorageArray items;
      HeldStores held;
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(ProcessChromiumLocalStorage(Member(Browser::kVivaldi), kFilter, items, clean, &held), 0);
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
      EXPECT_TRUE(items.empty());
      ASSERT_EQ(held.size(), 1u);
      EXPECT_EQ(held[0].profile, L"Profile 2");
      EXPECT_EQ(Snapshot(tree, kDatabase), before);
    }
  }
}

}  // namespace
