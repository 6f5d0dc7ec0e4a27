// Flash local shared objects: the site folders below #SharedObjects.
#include "stores/stores.h"

// The Flash store is not in this build yet: it finds nothing.
int ProcessFlashCookies(const CCookieFilter&, CFlashCookieArray&, bool) { return 0; }
