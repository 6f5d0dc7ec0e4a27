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

// One Cookies.plist: a scan appends the evil cookies; a clean removes their entries
// and returns how many it removed (0 when the rewrite failed). Every other byte of
// the file stays as it was: the head, each kept entry's lines, and everything from
// the first line that is not an entry (or an entry that does not parse) on. A file
// with nothing to remove is not written at all.
int ProcessSafariCookieFile(const std::wstring& path, const CCookieFilter& filter,
                            CSafariCookieArray& items, bool clean);
