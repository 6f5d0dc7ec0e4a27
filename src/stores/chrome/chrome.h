// Google Chrome: the Cookies database of every folder under
// "\Google\Chrome\User Data\" in the local application data folder. The store
// entries ProcessChromeCookies and ProcessChromeUserdata are declared in
// stores/stores.h.
#pragma once

#include <string>

#include "model/cookie.h"
#include "model/filter.h"

// One Cookies database (table cookies), through the shared database step: a
// scan appends the evil cookies to `items`; a clean pass deletes them and leaves
// `items` alone. Returns the evil cookies found, or the rows deleted; *held (when
// given) tells whether another program held the database.
int ProcessChromeCookieDatabase(const std::wstring& path, const CCookieFilter& filter,
                                CChromeCookieArray& items, bool clean, bool* held = nullptr);
