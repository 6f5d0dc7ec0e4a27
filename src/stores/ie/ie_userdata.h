// Internet Explorer UserData and DOM storage: the reading of one data file.
#pragma once

#include <string>

#include "model/cookie.h"
#include "platform/platform.h"

// Reads the start of folder + subfolder + "\" + file_name (at most 510 bytes) into
// the item's value, UTF-16 after a byte-order mark, else 8-bit text up to its
// first NUL, line breaks shown as spaces; the name is the file name. False when the
// file cannot be read or is empty. With `for_delete`, the file is opened for a
// deletion to follow (platform::File::Share::kDenyWriteAndDelete) and stays open
// there; with `identity`, its identity when it was read goes there.
bool ReadUserdataFile(CIEUserdata& item, const std::wstring& folder, const std::string& subfolder,
                      const std::string& file_name, platform::File* for_delete = nullptr,
                      platform::FileIdentity* identity = nullptr);
