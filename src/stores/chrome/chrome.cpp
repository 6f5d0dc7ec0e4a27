// Google Chrome: the Cookies database of every profile folder.
#include "stores/stores.h"

// The Chrome cookie store is not in this build yet: it finds nothing.
int ProcessChromeCookies(const CCookieFilter&, CChromeCookieArray&, bool) { return 0; }

// Chrome's local storage is never read or changed.
int ProcessChromeUserdata(const CCookieFilter&, CChromeUserdataArray&, bool) { return 0; }
