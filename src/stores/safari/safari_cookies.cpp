// Safari cookies: one XML property list, "Cookies.plist", an array of dict
// entries, one per cookie, read line by line.
#include <cwctype>
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
    // A clean keeps the raw bytes from the first entry's line on when that entry
    // turns out not to parse.
    file.BeginCapture();
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

std::wstring ReadPlistTail(CStdioFileEx& file) {
  std::wstring tail;
  std::wstring line;
  while (file.ReadString(line)) {
    tail += Trim(line);
    tail += L'\n';
  }
  return tail;
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
  std::wstring head;
  std::wstring tail;
  std::string raw_rest;  // the file's bytes from an entry that does not parse on
  bool any_entry = false;
  try {
    CStdioFileEx file(path);
    head = ReadPlistHead(file, kDict);
    CSafariCookie cookie;
    for (;;) {
      if (!NextLineIsDict(file)) break;
      any_entry = true;
      if (!cookie.ReadDict(file)) {
        // Nothing of this entry or after it can be rewritten from what was read.
        if (clean) raw_rest = file.TakeRawRest();
        break;
      }
      if (clean) file.BeginCapture();
      const bool evil = filter.IsEvil(cookie);
      if (evil) ++count;
      if (evil != clean) items.push_back(cookie);
    }
    if (raw_rest.empty()) {
      tail = ReadPlistTail(file);
      // Bytes after a Ctrl-Z, which ends the text, are kept as they are.
      if (clean) {
        file.BeginCapture();
        raw_rest = file.TakeRawRest();
      }
    }
  } catch (const CFileException&) {
    // Missing, locked or unreadable: nothing found, nothing rewritten.
    if (clean) items.clear();
    return 0;
  }
  if (!clean) return count;

  // A file without any entry is left as it is.
  if (any_entry) {
    try {
      CFile out(path);
      out.Write(BytesFromWide(head));
      for (CSafariCookie& kept : items) kept.WriteTo(out);
      out.Write(BytesFromWide(tail));
      out.Write(raw_rest);
      out.Commit();
    } catch (const CFileException&) {
      // The original stays in place; the evil cookies still count as found.
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
