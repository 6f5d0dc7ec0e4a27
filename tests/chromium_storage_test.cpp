// The Chromium family's local storage in LevelDB databases laid out as the browsers do: what a scan
// shows and leaves, what a clean removes and keeps, and databases held by a running browser or damaged.
#include <gtest/gtest.h>
#include <leveldb/db.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
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

std::string Latin1(const std::string& text) { return '\x01' + text; }  // text with its kind byte, as stored
std::string Utf16(const std::string& ascii) { std::string b(1, '\0'); for (char c : ascii) b += {c, '\0'}; return b; }

struct Entry { std::string origin, key, value; };  // key and value kind byte first; no key: records only
using Records = std::map<std::string, std::string>;  // key -> value, or file -> bytes

// Writes a database as a browser keeps it (VERSION, each origin's META and
// METAACCESS beside its values), in the log or moved into tables; returns its records.
Records WriteDatabase(const std::wstring& folder, const std::vector<Entry>& entries, bool in_tables) {
  leveldb::Options options;  // LevelDB's own writer, through the app's file access
  options.env = platform::LevelDbEnv(), options.create_if_missing = true;
  leveldb::DB* raw = nullptr;
  EXPECT_TRUE(leveldb::DB::Open(options, platform::PathForLevelDb(folder), &raw).ok());
  const std::unique_ptr<leveldb::DB> db(raw);
  const auto put = [&db](const std::string& k, const std::string& v) { EXPECT_TRUE(db->Put({}, k, v).ok()); };
  if (!entries.empty()) put("VERSION", "1");
  for (const Entry& e : entries) {
    put("META:" + e.origin, std::string("\x08\x80\xa4\xe8\x03\x10\x2a", 7));
    put("METAACCESS:" + e.origin, std::string("\x08\x90\xa4\xe8\x03", 5));
    if (!e.key.empty()) put("_" + e.origin + std::string(1, '\0') + e.key, e.value);
  }
  if (in_tables) db->CompactRange(nullptr, nullptr);
  Records all;
  std::unique_ptr<leveldb::Iterator> it(db->NewIterator(leveldb::ReadOptions()));
  for (it->SeekToFirst(); it->Valid(); it->Next()) all[it->key().ToString()] = it->value().ToString();
  return all;
}

ChromiumBrowser Member(Browser b) { return {static_cast<int>(b), BrowserOf(b).chromium_user_data}; }

bool AnyFileHolds(const Records& files, const std::string& bytes) {
  return std::any_of(files.begin(), files.end(), [&](const auto& f) { return f.second.find(bytes) != std::string::npos; });
}

const std::string kAds = "https://ads.tracker.example", kCdn = "https://cdn.tracker.example:8443",
                  kPix = "https://pix.tracker.example";

const struct {
  Browser browser;
  const char *profile, *folder;  // the Windows user profile; the browser's profile folder below it
  bool in_tables;                // values moved from the log into table files
  std::vector<Entry> entries;
  std::vector<std::string> evil, shown;  // evil origins; the scan's items (site|name|value|expires)
} kDatabases[] = {
    {Browser::kEdge, "ann", "AppData/Local/Microsoft/Edge/User Data/Default", false,
     {{kAds, Utf16("uid"), Utf16("Rt5vYb2N")}, {kAds, Latin1("seg"), Latin1("k3Jd9PqW")}, {"https://news.example", Latin1("theme"), Latin1("dark")}},
     {kAds}, {"ads.tracker.example (Default)|2 keys: uid|Rt5vYb2N|Unknown"}},
    {Browser::kChrome, "Zo\xC3\xAB \xC5\x81ukasz \xE6\x97\xA5\xE6\x9C\xAC", "AppData/Local/Google/Chrome/User Data/Profile 4", true,
     {{kCdn, Latin1("id"), Latin1("Ux4\x07Lm9Qz")}, {kPix, "", ""}, {"https://[::1]:9000", Utf16("k"), Utf16("Np3x")}}, {kCdn, kPix},
     {"cdn.tracker.example (Profile 4)|1 key: id|Ux4 Lm9Qz|Unknown", "pix.tracker.example (Profile 4)|0 keys||Unknown"}},
};

TEST(LocalStorageDatabases, ScanChangesNothingAndCleanLeavesExactlyTheHarmlessOrigins) {
  for (const auto& c : kDatabases) {
    SCOPED_TRACE(c.profile);
    TempTree tree;
    ProfileAt at(tree, c.profile);
    const std::string dir = std::string(c.profile) + "/" + c.folder + "/Local Storage", folder = dir + "/leveldb";
    tree.MakeDir(dir);
    Records kept = WriteDatabase(tree.Path(folder), c.entries, c.in_tables);
    for (const std::string& origin : c.evil) std::erase_if(kept, [&](const auto& r) { return r.first.find(origin) != std::string::npos; });
    const auto before = Snapshot(tree, folder);
    CChromiumLocalStorageArray items; HeldStores held;  // a clean pass reuses items as scratch
    EXPECT_EQ(ProcessChromiumLocalStorage(Member(c.browser), kFilter, items, false, &held), static_cast<int>(c.shown.size()));
    std::vector<std::string> shown;
    for (const CChromiumLocalStorage& i : items)
      shown.push_back(platform::Utf8FromWide(i.GetDisplaySite() + L"|" + i.m_strName + L"|" + i.m_strValue + L"|" + i.GetExpires()));
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(Snapshot(tree, folder), before);
    EXPECT_EQ(ProcessChromiumLocalStorage(Member(c.browser), kFilter, items, true, &held), static_cast<int>(c.evil.size()));
    EXPECT_TRUE(held.empty());
    const auto after = Snapshot(tree, folder);
    for (const Entry& e : c.entries)  // each evil value in some file before the clean, in none after
      if (!e.value.empty() && std::count(c.evil.begin(), c.evil.end(), e.origin)) {
        EXPECT_TRUE(AnyFileHolds(before, e.value.substr(1)) && !AnyFileHolds(after, e.value.substr(1))) << e.origin;
      }
    EXPECT_EQ(WriteDatabase(tree.Path(folder), {}, false), kept);
  }
}

constexpr char kDatabase[] = "AppData/Local/Vivaldi/User Data/Profile 2/Local Storage/leveldb";

TEST(LocalStorageLeftAlone, HeldOrDamagedDatabasesAreReportedAtOnceAndNotChanged) {
  namespace fs = std::filesystem;
  const struct { const char* what; std::unique_ptr<LockHolder> (*damage_or_hold)(const TempTree&); } cases[] = {
      {"LOCK held", [](const TempTree& t) { return std::make_unique<LockHolder>(t.Path(kDatabase), kHeldByLevelDb, t); }},
      {"no CURRENT", [](const TempTree& t) { fs::remove(t.Native(std::string(kDatabase) + "/CURRENT")); return std::unique_ptr<LockHolder>(); }},
      {"table cut short", [](const TempTree& t) {
         for (const auto& f : fs::directory_iterator(t.Native(kDatabase)))
           if (f.path().extension() == ".ldb") fs::resize_file(f.path(), f.file_size() / 2);
         return std::unique_ptr<LockHolder>(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempProfile tree;
    tree.MakeDir(fs::path(kDatabase).parent_path().string());
    WriteDatabase(tree.Path(kDatabase), {{kAds, Latin1("id"), Latin1("x")}}, true);
    const std::unique_ptr<LockHolder> holder = c.damage_or_hold(tree);
    const auto before = Snapshot(tree, kDatabase);
    for (const bool clean : {false, true}) {
      CChromiumLocalStorageArray items; HeldStores held;
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(ProcessChromiumLocalStorage(Member(Browser::kVivaldi), kFilter, items, clean, &held), 0);
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
      ASSERT_EQ(held.size(), 1u);
      EXPECT_EQ(held[0].profile, L"Profile 2");
      EXPECT_EQ(Snapshot(tree, kDatabase), before);
    }
  }
}

}  // namespace
