#include "common/memory_policy.h"

#include <cstdlib> // defines __GLIBC__ on the GNU C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace nubo {

void keepFreedMemoryForReuse()
{
#if defined(__GLIBC__)
    // 16 MiB of slack at the top of the heap, kept when memory is freed and added when the heap grows: enough for
    // the largest subband's working set of a few-megapixel picture, small beside the picture itself.
    constexpr int kTopPad = 16 << 20;
    mallopt(M_TOP_PAD, kTopPad);
#endif
}

} // namespace nubo
