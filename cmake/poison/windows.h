// Put first on the include path of the portable core: the core talks to the system
// only through src/platform.
#error "the portable core must not include <windows.h>; use src/platform/platform.h"
