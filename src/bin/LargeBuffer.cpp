#include "bin/LargeBuffer.h"

#include <cstdint>
#ifdef __linux__
#include <sys/mman.h>
#endif

void AdviseHugePages(const void* data, size_t bytes)
{
#ifdef __linux__
    constexpr uintptr_t kHuge = 2u << 20;
    const auto start = reinterpret_cast<uintptr_t>(data);
    const uintptr_t begin = (start + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (start + bytes) & ~(kHuge - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}
