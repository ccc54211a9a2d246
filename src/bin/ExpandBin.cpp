#include "bin/ExpandBin.h"

#include <algorithm>
#include <lzo/lzo1x.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bin/LargeBuffer.h"
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

// Whether LZO's status leaves a whole chunk: bytes after the stream's end marker (padding counted in P) are
// no fault.
bool Clean(int result) { return result == LZO_E_OK || result == LZO_E_INPUT_NOT_CONSUMED; }

// Expands straight into a memory destination whose reserved capacity already holds the chunk, saving a copy.
// False (nothing done) when the chunk is left to the general path. When the chunk is not clean the position stays
// where the chunk began, and the caller cuts the destination back there.
bool ExpandInPlace(TMemoryStream& dest, const uint8_t* packed, uint32_t packedSize, uint64_t capacity, int& result,
                   lzo_uint& produced)
{
    std::vector<uint8_t>& bytes = dest.Bytes();
    const uint64_t pos = static_cast<uint64_t>(dest.Position());
    // Only plausible ratios, and only within memory already reserved: the zero fill below costs nothing then.
    if (capacity > 64ull * packedSize + 65536 || pos > bytes.size() || pos + capacity > bytes.capacity())
        return false;
    const size_t oldSize = bytes.size();
    if (pos + capacity > oldSize)
        bytes.resize(static_cast<size_t>(pos + capacity));
    produced = static_cast<lzo_uint>(capacity);
    result = lzo1x_decompress_safe(packed, packedSize, bytes.data() + pos, &produced, nullptr);
    if (!Clean(result))
        return true;
    produced = std::min<lzo_uint>(produced, static_cast<lzo_uint>(capacity));
    const size_t end = static_cast<size_t>(pos + produced);
    bytes.resize(std::max(oldSize, end));
    dest.SetPosition(static_cast<int64_t>(end));
    return true;
}

// The expanded size that the chunks of a compressed file can produce: each chunk's unpacked size, bounded by
// what its packed data can produce. Stops where the expansion stops: at the end chunk, at a header that does not
// hold, at a chunk whose packed bytes the file does not hold in full, and at a chunk without packed bytes
// (it produces nothing, which ends the expansion).
uint64_t PromisedSizeImpl(TStream& source)
{
    const int64_t size = source.Size();
    uint64_t total = 0;
    int64_t pos = 0;
    while (pos + 8 <= size) {
        source.SetPosition(pos);
        uint32_t h[2] = {0, 0};
        source.Read(h, 8);
        if (h[0] == 0 || h[0] < h[1] || h[1] == 0 || static_cast<int64_t>(h[1]) > size - pos - 8)
            break;
        total += std::min<uint64_t>(h[0], MaxLzoOutput(h[1]));
        pos += 8 + static_cast<int64_t>(h[1]);
    }
    return total;
}

} // namespace

void ReserveForExpansion(TStream& source, TMemoryStream& dest)
{
    const int64_t here = source.Position();
    const uint64_t n = static_cast<uint64_t>(dest.Position()) + PromisedSizeImpl(source);
    if (n <= SIZE_MAX)
        ReserveLarge(dest.Bytes(), static_cast<size_t>(n));
    source.SetPosition(here);
}

uint64_t MaxLzoOutput(uint32_t packed) { return static_cast<uint64_t>(packed) * 256u + 512u; }

bool ExpandBin(TStream& source, TStream& dest, ExpandStatus* status)
{
    InitLzo();
    source.SetPosition(0);
    const int64_t sourceSize = source.Size();
    const int64_t start = dest.Position();
    int64_t pos = 0;
    uint64_t chunk = 0;
    RawBuffer in, out;
    auto* memory = dynamic_cast<TMemoryStream*>(&dest);

    auto stop = [&](ExpandFault fault) {
        // A memory destination ends where the failing chunk began, whichever way the chunk went.
        if (fault != ExpandFault::None && memory && memory->Size() > memory->Position())
            memory->SetSize(memory->Position());
        if (status) {
            status->Fault = fault;
            status->Chunk = chunk;
            status->Offset = pos;
            status->Written = dest.Position() - start;
        }
        return fault == ExpandFault::None;
    };

    for (;; ++chunk) {
        BinChunkHeader h;
        if (source.Read(&h.Unpacked, 4) != 4 || source.Read(&h.Packed, 4) != 4)
            return stop(ExpandFault::Truncated);
        if (h.Unpacked < h.Packed)
            return stop(ExpandFault::InvalidHeader);
        if (h.Unpacked == 0)
            return stop(ExpandFault::None);
        if (static_cast<int64_t>(h.Packed) > sourceSize - pos - 8)
            return stop(ExpandFault::Truncated);
        if (h.Packed == 0)
            return stop(ExpandFault::None); // it produces nothing, which ends the file
        uint8_t* packed = in.Reserve(h.Packed);
        source.ReadBuffer(packed, h.Packed);

        // The declared size is trusted only as far as LZO1X could produce it from P bytes.
        const uint64_t capacity = std::min<uint64_t>(h.Unpacked, MaxLzoOutput(h.Packed));
        int result = LZO_E_OK;
        lzo_uint produced = 0;
        if (!memory || !ExpandInPlace(*memory, packed, h.Packed, capacity, result, produced)) {
            uint8_t* expanded = out.Reserve(capacity);
            produced = static_cast<lzo_uint>(capacity);
            result = lzo1x_decompress_safe(packed, h.Packed, expanded, &produced, nullptr);
            produced = std::min<lzo_uint>(produced, static_cast<lzo_uint>(capacity));
            if (Clean(result) && produced > 0)
                dest.WriteBuffer(expanded, static_cast<int64_t>(produced));
        }
        if (!Clean(result))
            return stop(ExpandFault::BadData);
        if (produced == 0)
            return stop(ExpandFault::None); // a chunk that produces nothing ends the file
        pos += 8 + static_cast<int64_t>(h.Packed);
    }
}

std::string ExpandFailureText(const ExpandStatus& status)
{
    const char* reason = "";
    switch (status.Fault) {
    case ExpandFault::None: reason = "it ends the file"; break;
    case ExpandFault::InvalidHeader: reason = "its header is invalid"; break;
    case ExpandFault::Truncated: reason = "the file ends inside it"; break;
    case ExpandFault::BadData: reason = "its data do not expand cleanly"; break;
    }
    return "Expansion stopped at chunk " + std::to_string(status.Chunk) + " (offset " +
           std::to_string(status.Offset) + " in the compressed file): " + reason + ". " +
           std::to_string(status.Written) + " bytes written.";
}

bool LooksCompressed(uint32_t first, uint32_t second, int64_t fileSize)
{
    return static_cast<int64_t>(static_cast<uint32_t>(second + 8)) <= fileSize && first > second;
}
