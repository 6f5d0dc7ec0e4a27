// Firefox: cookies.txt, cookies.sqlite and webappsstore.sqlite of every profile.
#include "stores/stores.h"

// The Firefox stores are not in this build yet: they find nothing.
int ProcessFirefoxCookies(const CCookieFilter&, CFirefoxCookieArray&, bool) { return 0; }
int ProcessFirefoxUserdata(const CCookieFilter&, CFirefoxUserdataArray&, bool) { return 0; }
