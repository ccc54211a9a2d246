// Room for buffers of hundreds of megabytes: reserved once and, on Linux, backed by huge pages where the
// kernel allows it, so that filling them costs a few hundred page faults instead of a hundred thousand.
#pragma once

#include <cstddef>
#include <exception>
#include <vector>

void AdviseHugePages(const void* data, size_t bytes);

// Reserves room for n elements; does nothing when that fails (the vector then grows as it is filled).
template <typename T>
void ReserveLarge(std::vector<T>& v, size_t n)
{
    if (n <= v.capacity())
        return;
    try {
        v.reserve(n);
    } catch (const std::exception&) {
        return;
    }
    AdviseHugePages(v.data(), v.capacity() * sizeof(T));
}
