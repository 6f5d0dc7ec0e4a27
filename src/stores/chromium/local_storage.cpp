// The Chromium family's local storage databases.
#include "stores/chromium/local_storage.h"

#include <leveldb/db.h>
#include <leveldb/env.h>
#include <leveldb/helpers/memenv.h>
#include <leveldb/write_batch.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/leveldb_env.h"
#include "platform/platform.h"

namespace {

constexpr std::string_view kMetaPrefix = "META:";
constexpr std::string_view kAccessPrefix = "METAACCESS:";
constexpr char kValuePrefix = '_';
constexpr char kUtf16 = 0;
constexpr char kLatin1 = 1;
// The most characters of a key or value an item shows.
constexpr size_t kPeekChars = 127;
// The most a folder's files may hold together to be read: a copy lives in memory.
constexpr size_t kMaxCopyBytes = size_t{256} << 20;
// Where the copy lies in its in-memory environment.
constexpr char kCopyName[] = "/local-storage";

// What one origin keeps.
struct Origin {
  uint64_t values = 0;
  std::string first_key;    // the page's key with its kind byte
  std::string first_value;  // the beginning of its value, kind byte first
};

void AppendCodePoint(char32_t c, std::wstring* text) {
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) c = U' ';
  if constexpr (sizeof(wchar_t) == 2) {
    if (c > 0xFFFF) {
      c -= 0x10000;
      *text += static_cast<wchar_t>(0xD800 + (c >> 10));
      *text += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
      return;
    }
  }
  *text += static_cast<wchar_t>(c);
}

std::string ValuePrefix(const std::string& origin) {
  return std::string(1, kValuePrefix) + origin + std::string(1, '\0');
}

// The database's files copied into the in-memory `memory`: the folder's LOCK taken
// first (and released after) so that no browser writes while they are read.
LocalStorageSkip CopyIntoMemory(const std::wstring& folder, leveldb::Env* memory) {
  std::vector<platform::FindEntry> entries;
  if (!platform::FindFiles(folder + L"\\*", &entries)) return LocalStorageSkip::kNone;
  leveldb::Env* disk = platform::LevelDbEnv();
  leveldb::FileLock* lock = nullptr;
  for (const platform::FindEntry& entry : entries) {
    if (entry.is_directory || entry.name != L"LOCK") continue;
    if (!disk->LockFile(platform::PathForLevelDb(folder + L"\\" + entry.name), &lock).ok()) {
      return LocalStorageSkip::kHeld;
    }
  }
  LocalStorageSkip result = LocalStorageSkip::kNone;
  size_t budget = kMaxCopyBytes;
  memory->CreateDir(kCopyName);
  for (const platform::FindEntry& entry : entries) {
    if (entry.is_directory || entry.name == L"LOCK") continue;
    std::string data;
    leveldb::WritableFile* raw = nullptr;
    if (!platform::ReadWholeFile(folder + L"\\" + entry.name, &data, budget) ||
        !memory->NewWritableFile(std::string(kCopyName) + "/" + platform::Utf8FromWide(entry.name),
                                 &raw)
             .ok()) {
      result = LocalStorageSkip::kDamaged;
      break;
    }
    std::unique_ptr<leveldb::WritableFile> copy(raw);
    budget -= data.size();
    if (!copy->Append(data).ok() || !copy->Close().ok()) {
      result = LocalStorageSkip::kDamaged;
      break;
    }
  }
  if (lock != nullptr) disk->UnlockFile(lock);
  return result;
}

// Every origin of the database, read whole from a copy in memory; nothing on disk
// changes. A database that does not open or read whole is damaged.
LocalStorageSkip ReadOrigins(const std::wstring& folder, std::map<std::string, Origin>* origins) {
  std::unique_ptr<leveldb::Env> memory(leveldb::NewMemEnv(platform::LevelDbEnv()));
  const LocalStorageSkip copied = CopyIntoMemory(folder, memory.get());
  if (copied != LocalStorageSkip::kNone) return copied;
  std::vector<std::string> names;
  if (!memory->GetChildren(kCopyName, &names).ok() || names.empty()) {
    return LocalStorageSkip::kNone;
  }
  leveldb::Options options;
  options.env = memory.get();
  options.create_if_missing = false;
  options.paranoid_checks = true;
  leveldb::DB* raw = nullptr;
  if (!leveldb::DB::Open(options, kCopyName, &raw).ok()) return LocalStorageSkip::kDamaged;
  const std::unique_ptr<leveldb::DB> db(raw);
  leveldb::ReadOptions read;
  read.verify_checksums = true;
  read.fill_cache = false;
  const std::unique_ptr<leveldb::Iterator> it(db->NewIterator(read));
  for (it->SeekToFirst(); it->Valid(); it->Next()) {
    const std::string_view key(it->key().data(), it->key().size());
    if (key.starts_with(kAccessPrefix)) {
      if (key.size() > kAccessPrefix.size()) (*origins)[std::string(key.substr(kAccessPrefix.size()))];
    } else if (key.starts_with(kMetaPrefix)) {
      if (key.size() > kMetaPrefix.size()) (*origins)[std::string(key.substr(kMetaPrefix.size()))];
    } else if (!key.empty() && key.front() == kValuePrefix) {
      const size_t end = key.find('\0');
      if (end == std::string_view::npos || end == 1) continue;
      Origin& origin = (*origins)[std::string(key.substr(1, end - 1))];
      if (origin.values++ == 0) {
        origin.first_key = std::string(key.substr(end + 1));
        origin.first_value =
            std::string(it->value().data(), std::min(it->value().size(), 2 * kPeekChars + 1));
      }
    }
  }
  return it->status().ok() ? LocalStorageSkip::kNone : LocalStorageSkip::kDamaged;
}

// Deletes every key of each origin, one write batch per origin, then compacts the
// origins' key ranges so that the values leave the database's files. Returns the
// origins whose keys were deleted; false in *opened when the database did not open.
int RemoveOrigins(const std::wstring& folder, const std::vector<std::string>& evil, bool* opened) {
  leveldb::Options options;
  options.env = platform::LevelDbEnv();
  options.create_if_missing = false;
  options.paranoid_checks = true;
  leveldb::DB* raw = nullptr;
  *opened = leveldb::DB::Open(options, platform::PathForLevelDb(folder), &raw).ok();
  if (!*opened) return 0;
  const std::unique_ptr<leveldb::DB> db(raw);
  std::vector<std::string> removed;
  for (const std::string& origin : evil) {
    leveldb::WriteBatch batch;
    batch.Delete(std::string(kMetaPrefix) + origin);
    batch.Delete(std::string(kAccessPrefix) + origin);
    const std::string prefix = ValuePrefix(origin);
    {
      // The iterator keeps the files it reads: it must end before the compaction.
      const std::unique_ptr<leveldb::Iterator> it(db->NewIterator(leveldb::ReadOptions()));
      for (it->Seek(prefix); it->Valid() && it->key().starts_with(prefix); it->Next()) {
        batch.Delete(it->key());
      }
      if (!it->status().ok()) continue;
    }
    leveldb::WriteOptions write;
    write.sync = true;
    if (db->Write(write, &batch).ok()) removed.push_back(origin);
  }
  for (const std::string& origin : removed) {
    const std::string meta = std::string(kMetaPrefix) + origin;
    const std::string access = std::string(kAccessPrefix) + origin;
    const std::string first = ValuePrefix(origin);
    const std::string last = std::string(1, kValuePrefix) + origin + std::string(1, '\1');
    const leveldb::Slice meta_slice(meta), access_slice(access), first_slice(first),
        last_slice(last);
    db->CompactRange(&meta_slice, &meta_slice);
    db->CompactRange(&access_slice, &access_slice);
    db->CompactRange(&first_slice, &last_slice);
  }
  return static_cast<int>(removed.size());
}

}  // namespace

std::wstring LocalStorageOriginHost(std::string_view origin) {
  const size_t scheme = origin.find("://");
  if (scheme == std::string_view::npos) return {};
  std::string_view rest = origin.substr(scheme + 3);
  size_t end = 0;
  if (!rest.empty() && rest.front() == '[') {
    end = rest.find(']');
    end = end == std::string_view::npos ? rest.size() : end + 1;
  } else {
    end = rest.find_first_of(":/");
    if (end == std::string_view::npos) end = rest.size();
  }
  return platform::WideFromUtf8(std::string(rest.substr(0, end)));
}

std::wstring LocalStorageText(std::string_view bytes, size_t max_chars) {
  std::wstring text;
  if (bytes.empty()) return text;
  const char kind = bytes.front();
  bytes.remove_prefix(1);
  size_t chars = 0;
  if (kind == kLatin1) {
    for (size_t i = 0; i < bytes.size() && chars < max_chars; ++i, ++chars) {
      AppendCodePoint(static_cast<unsigned char>(bytes[i]), &text);
    }
  } else if (kind == kUtf16) {
    const auto unit = [&bytes](size_t i) {
      return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    };
    const size_t units = bytes.size() / 2;
    for (size_t i = 0; i < units && chars < max_chars; ++i, ++chars) {
      const char32_t c = unit(i);
      if (c >= 0xD800 && c < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 &&
          unit(i + 1) < 0xE000) {
        AppendCodePoint(0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00), &text);
        ++i;
      } else {
        AppendCodePoint(c >= 0xD800 && c < 0xE000 ? U' ' : c, &text);
      }
    }
  }
  return text;
}

int ProcessChromiumLocalStorageFolder(const std::wstring& folder, int browser,
                                      const std::wstring& profile, const CCookieFilter& filter,
                                      CChromiumLocalStorageArray& items, bool clean,
                                      LocalStorageSkip* skipped) {
  LocalStorageSkip ignored;
  LocalStorageSkip& skip = skipped != nullptr ? *skipped : ignored;
  skip = LocalStorageSkip::kNone;
  if (!platform::DirectoryExists(folder) || platform::IsLinkOrReparsePoint(folder)) return 0;
  std::map<std::string, Origin> origins;
  skip = ReadOrigins(folder, &origins);
  if (skip != LocalStorageSkip::kNone) return 0;

  std::vector<std::string> evil;
  int found = 0;
  for (const auto& [name, origin] : origins) {
    CChromiumLocalStorage item;
    item.m_strSite = LocalStorageOriginHost(name);
    if (item.m_strSite.empty() || !filter.IsEvil(item)) continue;
    if (clean) {
      evil.push_back(name);
      continue;
    }
    item.m_strName = std::to_wstring(origin.values) + (origin.values == 1 ? L" key" : L" keys");
    if (origin.values > 0) item.m_strName += L": " + LocalStorageText(origin.first_key, kPeekChars);
    item.m_strValue = LocalStorageText(origin.first_value, kPeekChars);
    item.m_nBrowser = browser;
    item.m_strProfile = profile;
    item.m_strOrigin = name;
    items.push_back(item);
    ++found;
  }
  if (!clean || evil.empty()) return found;
  bool opened = false;
  const int removed = RemoveOrigins(folder, evil, &opened);
  if (!opened) skip = LocalStorageSkip::kHeld;
  return removed;
}

int ProcessChromiumLocalStorage(const ChromiumBrowser& browser, const CCookieFilter& filter,
                                CChromiumLocalStorageArray& items, bool clean, HeldStores* held) {
  int count = 0;
  ForEachChromiumProfile(
      browser, ChromiumProfileData::kLocalStorage,
      [&](const ChromiumUserData&, const ChromiumProfile& profile) {
        const std::wstring storage = profile.folder + L"\\Local Storage";
        if (platform::IsLinkOrReparsePoint(storage)) return;
        const std::wstring database = storage + L"\\leveldb";
        LocalStorageSkip skip = LocalStorageSkip::kNone;
        count += ProcessChromiumLocalStorageFolder(database, browser.id, profile.name, filter,
                                                   items, clean, &skip);
        if (skip != LocalStorageSkip::kNone) {
          ReportHeld(held, profile.name, database,
                     skip == LocalStorageSkip::kHeld ? HeldReason::kInUse : HeldReason::kDamaged);
        }
      });
  return count;
}
