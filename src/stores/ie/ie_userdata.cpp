// Internet Explorer UserData and DOM storage, found through the cache index files.
#include "stores/stores.h"

// The cache index reader is not in this build yet: the store finds nothing.
int ProcessIEUserdata(const CCookieFilter&, CIEUserdataArray&, bool) { return 0; }
