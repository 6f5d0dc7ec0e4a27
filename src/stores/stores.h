// The nine store entries. Each takes the operation's filter, the item list of its
// class and the clean flag:
//  - scan (clean false): appends a copy of every evil item it meets, in order, and
//    changes nothing on disk; returns the number appended.
//  - clean (clean true): removes the evil items from disk in its own way; `items`
//    arrives empty and is scratch space; returns the removals as the store counts
//    them.
// A store whose files or folders are missing or unreadable contributes 0 and
// reports nothing.
#pragma once

#include "model/cookie.h"
#include "model/filter.h"

int ProcessIECookies(const CCookieFilter& filter, CIECookieArray& items, bool clean);
int ProcessIEUserdata(const CCookieFilter& filter, CIEUserdataArray& items, bool clean);
int ProcessFirefoxCookies(const CCookieFilter& filter, CFirefoxCookieArray& items, bool clean);
int ProcessFirefoxUserdata(const CCookieFilter& filter, CFirefoxUserdataArray& items, bool clean);
int ProcessChromeCookies(const CCookieFilter& filter, CChromeCookieArray& items, bool clean);
int ProcessChromeUserdata(const CCookieFilter& filter, CChromeUserdataArray& items, bool clean);
int ProcessSafariCookies(const CCookieFilter& filter, CSafariCookieArray& items, bool clean);
int ProcessSafariUserdata(const CCookieFilter& filter, CSafariUserdataArray& items, bool clean);
int ProcessFlashCookies(const CCookieFilter& filter, CFlashCookieArray& items, bool clean);
