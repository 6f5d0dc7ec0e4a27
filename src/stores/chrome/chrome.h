// Google Chrome: the Cookies database of every folder under
// "\Google\Chrome\User Data\" in the local application data folder. The store
// entries ProcessChromeCookies and ProcessChromeUserdata are declared in
// stores/stores.h.
#pragma once

#include <string>

#include "model/cookie.h"
#include "model/filter.h"
#include "stores/stores.h"

// One Cookies database (table cookies), through the shared database step: a
// scan appends the evil cookies to `items`; a clean pass deletes them and leaves
// `items` alone. Returns the evil cookies found, or the rows deleted; *held (when
// given) tells why the database was left as it was (HeldReason).
int ProcessChromeCookieDatabase(const std::wstring& path, const CCookieFilter& filter,
                                CChromeCookieArray& items, bool clean, HeldReason* held = nullptr);
