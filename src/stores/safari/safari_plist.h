// The Safari cookie plist: a line scanner of its own, no XML parser. The file is
// a head (every line before the first "<dict>" line), a run of dict entries, one
// element per line, and a tail (everything after the last entry read).
#pragma once

#include <string>

#include "model/cookie.h"
#include "model/filter.h"
#include "text/textfile.h"

// The lines before the first line that reads `dict` once trimmed, each trimmed and
// ended by LF; that line is pushed back. Empty when no such line exists.
std::wstring ReadPlistHead(CStdioFileEx& file, const std::wstring& dict);
// Every line still unread (pushed-back lines first), trimmed and ended by LF.
std::wstring ReadPlistTail(CStdioFileEx& file);

// One Cookies.plist: a scan appends the evil cookies; a clean writes the file anew
// without them and returns how many it left out. A clean never loses a line: a file
// without entries stays as it is, and from an entry that does not parse on, the
// file's bytes are kept verbatim.
int ProcessSafariCookieFile(const std::wstring& path, const CCookieFilter& filter,
                            CSafariCookieArray& items, bool clean);
