// Storage items: one found cookie or page-storage entry each.
//
// Items are small value objects of wide strings. The filter tests GetSite(), the
// details list shows GetDisplaySite(), GetExpires(), GetName() and GetValue(), and
// the stores whose files are rewritten record by record read and write their own
// records through ReadFrom() and WriteTo().
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class CStdioFile;
class CStdioFileEx;
class CFile;

class CCookie {
 public:
  // A record from an open text file; false when no whole record could be read.
  virtual bool ReadFrom(CStdioFile& file) = 0;
  // Appends the item's record to a file being rewritten.
  virtual bool WriteTo(CFile& file) = 0;
  virtual std::wstring GetSite() const { return m_strSite; }
  virtual std::wstring GetName() const { return m_strName; }
  virtual std::wstring GetValue() const { return m_strValue; }
  // Expiry wording for a span in seconds: "soon", "%d days", "1 month", "%d months",
  // "1 year", "%d years".
  virtual std::wstring FormatTimeLeft(const int64_t& span_seconds) const;
  // The text of the details list's "Expires" column.
  virtual std::wstring GetExpires() const = 0;
  // The site without its leading periods.
  virtual std::wstring GetDisplaySite() const;

  std::wstring m_strName;
  std::wstring m_strValue;
  // The site as the store found it: a host, a domain with a leading period, or a
  // host followed by a path. This is what the filter tests.
  std::wstring m_strSite;
  // Why the filter found the item evil: the pattern, or the tracker list and its
  // domain (CCookieFilter::Describe), empty when it was not asked. The items that
  // one rule finds share its text.
  const std::wstring& GetRule() const;
  std::shared_ptr<const std::wstring> m_pRule;

 protected:
  CCookie() = default;
  CCookie(const CCookie&) = default;
  CCookie& operator=(const CCookie&) = default;
  // Item lists move their items as they grow, never copy them.
  CCookie(CCookie&&) noexcept = default;
  CCookie& operator=(CCookie&&) noexcept = default;
  ~CCookie() = default;
};

// What storage items without an expiry time show.
inline constexpr wchar_t kExpiresUnknown[] = L"Unknown";

// An Internet Explorer cookie: one nine-line record of a cookie file.
class CIECookie : public CCookie {
 public:
  // Reads eight lines (name, value, site, flags, expiry low/high, creation
  // low/high) and a ninth that must be exactly "*".
  bool ReadFrom(CStdioFile& file) override;
  // Writes the nine-line record with LF line ends. Throws CFileException.
  bool WriteTo(CFile& file) override;
  std::wstring GetExpires() const override;

  // The first eight lines of the record, in their order.
  static constexpr size_t kFields = 8;
  std::array<std::wstring*, kFields> Fields() {
    return {&m_strName,      &m_strValue,        &m_strSite,       &m_strFlags,
            &m_strExpiresLow, &m_strExpiresHigh, &m_strCreatedLow, &m_strCreatedHigh};
  }

  std::wstring m_strFlags;
  std::wstring m_strExpiresLow;
  std::wstring m_strExpiresHigh;
  std::wstring m_strCreatedLow;
  std::wstring m_strCreatedHigh;
};

// Items of the stores that hold no record of their own: ReadFrom and WriteTo do
// nothing and succeed, the expiry is unknown.
class CRecordlessItem : public CCookie {
 public:
  bool ReadFrom(CStdioFile&) override { return true; }
  bool WriteTo(CFile&) override { return true; }
  std::wstring GetExpires() const override { return kExpiresUnknown; }
};

// An Internet Explorer UserData or DOM storage entry of a cache index.
class CIEUserdata : public CRecordlessItem {
 public:
  // Takes the site from a "userdata:" or "domstore:" URL of the index; false (and
  // the site unchanged) for any other URL.
  bool SetSiteFromUrl(const std::string& url);
};

class CFirefoxUserdata : public CRecordlessItem {};
class CChromeUserdata : public CRecordlessItem {};

// A Safari per-origin database or local-storage file.
class CSafariUserdata : public CRecordlessItem {
 public:
  // The site is the text between the first and the second "_" of an origin
  // ("http_example.com_0") or of a file name; false when there is none.
  bool SetSiteFromOrigin(const std::wstring& origin);
  // Name "name: display name", value the first pairs of its persist_data table (or
  // the path); false when the database cannot be opened.
  bool DescribeDatabase(const std::wstring& name, const std::wstring& display_name,
                        const std::wstring& path);
  // Name the path, value the first pairs of its ItemTable (or "?"); false when the
  // file cannot be opened.
  bool DescribeLocalStorage(const std::wstring& path);
};

// A Flash site folder with its local shared objects.
class CFlashCookie : public CRecordlessItem {
 public:
  // Looks depth-first for the first file below path\subfolder and takes its name
  // and a printable peek at its first bytes; false when no file could be read.
  bool PeekFirstFile(const std::wstring& path, const std::wstring& subfolder);
};

// A site's page storage in one profile of a browser of the Chromium family.
class CChromiumStorageItem : public CRecordlessItem {
 public:
  // The site, then the profile in parentheses: "tracker.example (Work)".
  std::wstring GetDisplaySite() const override;

  // The browser, as its store was told (as CChromiumCookie::m_nBrowser).
  int m_nBrowser = 0;
  // The profile's name as the browser shows it.
  std::wstring m_strProfile;
};

// A site's IndexedDB folders: "<scheme>_<host>_<port>.indexeddb.leveldb" and,
// where there is one, its ".indexeddb.blob" sibling, named by the first of them
// that exists.
class CChromiumIndexedDB : public CChromiumStorageItem {};

// A site's storage in a Firefox profile: a folder of "storage\default" (name the
// folder's) or a row of "storage\ls-archive.sqlite" (name the row's key).
class CFirefoxSiteStorage : public CRecordlessItem {
 public:
  // The site, then its container or partition in parentheses when it has one.
  std::wstring GetDisplaySite() const override;

  // "container 2, partition https://news.example", as for CFirefoxCookie; empty
  // for none.
  std::wstring m_strContext;
};

// A Firefox cookie: one line of a Netscape cookie file, or a database row.
class CFirefoxCookie : public CCookie {
 public:
  // Skips empty and comment lines, takes a leading "#HttpOnly_" into m_strPrefix
  // and splits the rest into exactly seven tab-separated columns.
  bool ReadFrom(CStdioFile& file) override;
  // Writes one cookie line; nothing, and false, when m_strDomainFlag is empty.
  bool WriteTo(CFile& file) override;
  std::wstring GetExpires() const override;

  std::wstring m_strDomain;
  std::wstring m_strExpires;  // seconds since 1970-01-01 UTC
  std::wstring m_strDomainFlag;
  std::wstring m_strPath;
  std::wstring m_strSecure;
  std::wstring m_strPrefix;  // "#HttpOnly_" as the line spelled it, or empty
  // The container or partition a database cookie lives in ("container 2, partition
  // https://news.example"), shown beside its site; empty for none.
  std::wstring m_strContext;

  // The site, then its context in parentheses when it has one.
  std::wstring GetDisplaySite() const override;
};

// A Chrome cookie: one row of a Cookies database.
class CChromeCookie : public CCookie {
 public:
  bool ReadFrom(CStdioFile&) override { return false; }
  bool WriteTo(CFile&) override { return false; }
  std::wstring GetExpires() const override;

  std::wstring m_strExpires;  // microseconds since 1601-01-01 UTC
};

// A cookie of a browser of the Chromium family (Chrome's newer locations and
// channels, Edge, Brave, Vivaldi, Opera, Chromium): one row of a Cookies database
// of one profile. Values are kept encrypted by the browser and never decrypted:
// such a cookie's value reads "(encrypted)".
class CChromiumCookie : public CChromeCookie {
 public:
  // The site, then the profile and the partition in parentheses: "tracker.example/
  // (Work, partition https://news.example)".
  std::wstring GetDisplaySite() const override;

  // The browser the cookie belongs to, as its store was told (the scan's table of
  // browsers gives the number).
  int m_nBrowser = 0;
  // The profile's name as the browser shows it (its folder's name where the browser
  // names none).
  std::wstring m_strProfile;
  // The top-level site of a partitioned cookie (top_frame_site_key), else empty.
  std::wstring m_strPartition;
};

// One origin's local storage in a profile of a browser of the Chromium family:
// every key the origin keeps in "Local Storage\leveldb". The site is the origin's
// host; the name tells the number of keys and the first key, the value the first
// value's beginning.
class CChromiumLocalStorage : public CChromiumStorageItem {
 public:
  // The origin exactly as its keys spell it, "https://tracker.example:8443" (UTF-8).
  std::string m_strOrigin;
};

// What a value kept encrypted shows.
inline constexpr wchar_t kEncryptedValue[] = L"(encrypted)";

// A Safari cookie: one dict entry of Cookies.plist.
class CSafariCookie : public CCookie {
 public:
  bool ReadFrom(CStdioFile&) override { return false; }
  bool WriteTo(CFile& file) override;
  std::wstring GetExpires() const override;
  // Fills the item from the next dict entry of a cookie plist; false when the next
  // line does not start an entry (that line is pushed back) or the entry does not
  // parse.
  bool ReadDict(CStdioFileEx& file);
  // Reads one key line and its value line into `key`, `type` and `value`, or the
  // closing "</dict>" (then `end` is set); false when the lines do not parse.
  bool ReadKeyValue(CStdioFileEx& file, std::wstring& key, std::wstring& type,
                    std::wstring& value, bool& end);
  // The Expires date text as seconds since 1970; the current time when the text
  // does not give a valid date.
  int64_t GetExpiryTime() const;

  std::wstring m_strDomain;
  std::wstring m_strCreated;
  std::wstring m_strExpires;  // the date text, "2010-05-12T13:45:12Z"
  std::wstring m_strPath;
  std::wstring m_strSecure;  // non-empty when the cookie is secure
  // The lines of the entry exactly as they were read, line ends and all (filled by a
  // clean, which writes the entries it keeps back through WriteTo).
  std::string m_strRawEntry;
};

// Item lists: each store's items by value, in the order the store met them. A list
// grows by blocks and never moves what it holds, so that a scan of many items needs
// no spare room for them nor a second copy while it grows.
using CIECookieArray = std::deque<CIECookie>;
using CIEUserdataArray = std::deque<CIEUserdata>;
using CFirefoxCookieArray = std::deque<CFirefoxCookie>;
using CFirefoxUserdataArray = std::deque<CFirefoxUserdata>;
using CChromeCookieArray = std::deque<CChromeCookie>;
using CChromiumCookieArray = std::deque<CChromiumCookie>;
using CChromiumLocalStorageArray = std::deque<CChromiumLocalStorage>;
using CChromeUserdataArray = std::deque<CChromeUserdata>;
using CSafariCookieArray = std::deque<CSafariCookie>;
using CSafariUserdataArray = std::deque<CSafariUserdata>;
using CFlashCookieArray = std::deque<CFlashCookie>;
using CChromiumIndexedDBArray = std::deque<CChromiumIndexedDB>;
using CFirefoxSiteStorageArray = std::deque<CFirefoxSiteStorage>;

// Decimal fields as the stores hold them: leading blanks and digits, nothing else
// read; text that does not parse reads as 0.
uint32_t ParseUnsigned32(const std::wstring& text);
int64_t ParseInt64(const std::wstring& text);
