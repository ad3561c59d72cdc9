#include "mailstore/base/FreeMemory.h"

#include <cstddef>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if defined(__linux__)
// Present when the program is linked with jemalloc (its programs are, where it is
// installed); the library itself does not depend on it.
extern "C" int mallctl(const char* name, void* oldp, size_t* oldlenp, void* newp, size_t newlen)
    __attribute__((weak));
#endif

namespace bv::mailstore::base {

void ReturnFreeMemory() {
#if defined(__linux__)
    if (mallctl) {
        mallctl("arena.4096.purge", nullptr, nullptr, nullptr, 0);  // 4096: every arena
        return;
    }
#endif
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

}  // namespace bv::mailstore::base
