// Expansion of compressed bin files, both ways the program takes: into memory after the reservation the loader
// makes, and into a plain stream as the "Bin unpacker" writes its output file. Both must give the same result
// and the same bytes.
#include "FuzzSupport.h"
#include "bin/ExpandBin.h"
#include "platform/Stream.h"

namespace {

// Keeps what is written, without being a memory stream (the expander's path for files).
class SinkStream : public TStream {
public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void* buffer, int64_t count) override
    {
        const auto* p = static_cast<const uint8_t*>(buffer);
        bytes.insert(bytes.end(), p, p + count);
        return count;
    }
    int64_t Seek(int64_t offset, SeekOrigin origin) override
    {
        return origin == SeekOrigin::Begin && offset == 0 ? 0 : static_cast<int64_t>(bytes.size());
    }
    std::vector<uint8_t> bytes;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMemoryStream source(std::vector<uint8_t>(data, data + size));
    TMemoryStream memory;
    ReserveForExpansion(source, memory);
    ExpandStatus memoryStatus, streamStatus;
    const bool inMemory = ExpandBin(source, memory, &memoryStatus);
    SinkStream sink;
    const bool toStream = ExpandBin(source, sink, &streamStatus);
    FUZZ_CHECK(inMemory == toStream, "the expansion into memory and into a stream disagree on the result");
    FUZZ_CHECK(memory.Bytes() == sink.bytes, "the expansion into memory and into a stream give other bytes");
    FUZZ_CHECK(memoryStatus.Fault == streamStatus.Fault && memoryStatus.Chunk == streamStatus.Chunk &&
                   memoryStatus.Offset == streamStatus.Offset && memoryStatus.Written == streamStatus.Written,
               "the expansion into memory and into a stream stop at other places");
    FUZZ_CHECK(memoryStatus.Written == static_cast<int64_t>(sink.bytes.size()),
               "the bytes said to be written are not those written");
    FUZZ_CHECK(inMemory == (memoryStatus.Fault == ExpandFault::None), "the result and the reason disagree");
    return 0;
}
