// Safari cookies: one XML property list, "Cookies.plist", an array of dict
// entries, one per cookie, read line by line.
#include <cwctype>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "stores/safari/safari_plist.h"
#include "stores/stores.h"

namespace {

const wchar_t kDict[] = L"<dict>";
const wchar_t kDictEnd[] = L"</dict>";

std::wstring Trim(const std::wstring& text) {
  size_t first = 0;
  while (first < text.size() && std::iswspace(static_cast<wint_t>(text[first]))) ++first;
  size_t last = text.size();
  while (last > first && std::iswspace(static_cast<wint_t>(text[last - 1]))) --last;
  return text.substr(first, last - first);
}

wchar_t Lower(wchar_t c) { return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c))); }

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// The text between `open` and the next `close` after it; false when either is missing.
bool Between(const std::wstring& line, const std::wstring& open, const std::wstring& close,
             std::wstring* inner) {
  const size_t start = line.find(open);
  if (start == std::wstring::npos) return false;
  const size_t end = line.find(close, start + open.size());
  if (end == std::wstring::npos) return false;
  *inner = line.substr(start + open.size(), end - start - open.size());
  return true;
}

// True when the next line starts an entry; the line is left to be read again.
bool NextLineIsDict(CStdioFileEx& file) {
  std::wstring line;
  if (!file.ReadString(line)) return false;
  const std::wstring trimmed = Trim(line);
  file.UnreadString(trimmed);
  return EqualNoCase(trimmed, kDict);
}

}  // namespace

std::wstring ReadPlistHead(CStdioFileEx& file, const std::wstring& dict) {
  std::wstring head;
  std::wstring line;
  for (;;) {
    if (!file.ReadString(line)) return std::wstring();
    const std::wstring trimmed = Trim(line);
    if (EqualNoCase(trimmed, dict)) {
      file.UnreadString(trimmed);
      return head;
    }
    head += trimmed;
    head += L'\n';
  }
}

bool CSafariCookie::ReadKeyValue(CStdioFileEx& file, std::wstring& key, std::wstring& type,
                                 std::wstring& value, bool& end) {
  std::wstring line;
  if (!file.ReadString(line)) return false;
  line = Trim(line);
  if (EqualNoCase(line, kDictEnd)) {
    end = true;
    return true;
  }
  if (!Between(line, L"<key>", L"</key>", &key)) return false;
  if (!file.ReadString(line)) return false;
  line = Trim(line);
  if (!Between(line, L"<", L">", &type)) return false;
  return Between(line, L"<" + type + L">", L"</" + type + L">", &value);
}

bool CSafariCookie::ReadDict(CStdioFileEx& file) {
  std::wstring line;
  if (!file.ReadString(line)) return false;
  line = Trim(line);
  if (!EqualNoCase(line, kDict)) {
    file.UnreadString(line);
    return false;
  }
  m_strCreated.clear();
  m_strSite.clear();
  m_strExpires.clear();
  m_strName.clear();
  m_strPath.clear();
  m_strValue.clear();
  m_strSecure.clear();
  std::wstring domain;
  struct Field {
    const wchar_t* key;
    const wchar_t* type;
    std::wstring* target;
  };
  const Field fields[] = {
      {L"Created", L"real", &m_strCreated}, {L"Domain", L"string", &domain},
      {L"Expires", L"date", &m_strExpires}, {L"Name", L"string", &m_strName},
      {L"Path", L"string", &m_strPath},     {L"Value", L"string", &m_strValue},
      {L"Secure", L"string", &m_strSecure},
  };
  for (;;) {
    std::wstring key, type, value;
    bool end = false;
    if (!ReadKeyValue(file, key, type, value, end)) return false;
    if (end) break;
    for (const Field& field : fields) {
      if (EqualNoCase(key, field.key) && EqualNoCase(type, field.type)) *field.target = value;
    }
  }
  m_strDomain = domain;
  m_strSite = m_strDomain + m_strPath;
  return true;
}

int ProcessSafariCookieFile(const std::wstring& path, const CCookieFilter& filter,
                            CSafariCookieArray& items, bool clean) {
  int count = 0;
  // A clean writes back the file's own bytes: the head, every entry it keeps
  // exactly as read, and the rest from the first line that is not an entry on
  // (an entry that does not parse included).
  std::string head;
  std::string rest;
  // Open until the rewrite replaces it, which it does only while the path still
  // names the file read.
  std::optional<CStdioFileEx> opened;
  try {
    CStdioFileEx& file = opened.emplace(path);
    if (clean) file.BeginCapture();
    ReadPlistHead(file, kDict);
    if (!NextLineIsDict(file)) return 0;  // no entry at all: nothing to find or remove
    // Captured so far: the head and the first "<dict>" line, which starts at the
    // last line start the file has seen.
    std::string pending = file.TakeCaptured();
    if (clean) {
      head = pending.substr(0, static_cast<size_t>(file.LineStart()));
      pending.erase(0, head.size());
    }
    CSafariCookie cookie;
    while (NextLineIsDict(file) && cookie.ReadDict(file)) {
      const bool evil = filter.IsEvil(cookie);
      if (evil) ++count;
      if (clean) cookie.m_strRawEntry = pending + file.TakeCaptured();
      pending.clear();
      if (evil != clean) items.push_back(cookie);
    }
    if (clean) rest = pending + file.TakeRawRest();
  } catch (const CFileException&) {
    // Missing, locked or unreadable: nothing found, nothing rewritten.
    if (clean) items.clear();
    return 0;
  }
  if (!clean) return count;

  if (count > 0) {
    try {
      CFile out(path);
      out.Write(head);
      for (CSafariCookie& kept : items) kept.WriteTo(out);
      out.Write(rest);
      out.CommitReplacing(*opened);
    } catch (const CFileException&) {
      count = 0;  // the original stays in place, evil cookies and all
    }
  }
  items.clear();
  return count;
}

int ProcessSafariCookies(const CCookieFilter& filter, CSafariCookieArray& items, bool clean) {
  std::wstring app_data;
  if (!platform::GetKnownFolder(platform::KnownFolder::AppData, &app_data)) return 0;
  return ProcessSafariCookieFile(app_data + L"\\Apple Computer\\Safari\\Cookies\\Cookies.plist",
                                 filter, items, clean);
}
