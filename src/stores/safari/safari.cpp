// Safari: Cookies.plist, the per-origin databases and the local storage files.
#include "stores/stores.h"

// The Safari stores are not in this build yet: they find nothing.
int ProcessSafariCookies(const CCookieFilter&, CSafariCookieArray&, bool) { return 0; }
int ProcessSafariUserdata(const CCookieFilter&, CSafariUserdataArray&, bool) { return 0; }
