#include "bin/ExpandBin.h"

#include <algorithm>
#include <lzo/lzo1x.h>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/Stream.h"

namespace {

void InitLzo()
{
    static std::once_flag once;
    std::call_once(once, [] { lzo_init(); });
}

// Growable scratch buffer that does not zero its bytes (an untouched tail costs no memory).
struct RawBuffer {
    std::unique_ptr<uint8_t[]> data;
    uint64_t capacity = 0;

    uint8_t* Reserve(uint64_t n)
    {
        if (n > capacity) {
            data.reset();
            data.reset(new uint8_t[static_cast<size_t>(n)]);
            capacity = n;
        }
        return data.get();
    }
};

} // namespace

uint64_t MaxLzoOutput(uint32_t packed) { return static_cast<uint64_t>(packed) * 256u + 512u; }

bool ExpandBin(TStream& source, TStream& dest)
{
    InitLzo();
    source.SetPosition(0);
    const int64_t sourceSize = source.Size();
    int64_t pos = 0;
    RawBuffer in, out;

    for (;;) {
        BinChunkHeader h;
        if (source.Read(&h.Unpacked, 4) != 4 || source.Read(&h.Packed, 4) != 4)
            return false; // source ends inside a chunk header
        pos += 8;
        if (h.Unpacked < h.Packed)
            return false;
        if (h.Unpacked == 0)
            return true;
        if (static_cast<int64_t>(h.Packed) > sourceSize - pos)
            return false; // source ends inside the packed data
        uint8_t* packed = in.Reserve(std::max<uint32_t>(h.Packed, 1));
        source.ReadBuffer(packed, h.Packed);
        pos += h.Packed;

        // The declared size is trusted only as far as LZO1X could produce it from P bytes.
        const uint64_t capacity = std::min<uint64_t>(h.Unpacked, MaxLzoOutput(h.Packed));
        uint8_t* expanded = out.Reserve(capacity);
        lzo_uint produced = static_cast<lzo_uint>(capacity);
        lzo1x_decompress_safe(packed, h.Packed, expanded, &produced, nullptr);
        produced = std::min<lzo_uint>(produced, static_cast<lzo_uint>(capacity));
        if (produced == 0)
            return true;
        dest.WriteBuffer(expanded, static_cast<int64_t>(produced));
    }
}
