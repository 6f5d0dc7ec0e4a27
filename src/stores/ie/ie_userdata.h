// Internet Explorer UserData and DOM storage: the reading of one data file.
#pragma once

#include <string>

#include "model/cookie.h"

// Reads the start of folder + subfolder + "\" + file_name (at most 510 bytes) into
// the item's value, UTF-16 after a byte-order mark, else 8-bit text up to its
// first NUL, line breaks shown as spaces; the name is the file name. False when the
// file cannot be read or is empty.
bool ReadUserdataFile(CIEUserdata& item, const std::wstring& folder, const std::string& subfolder,
                      const std::string& file_name);
