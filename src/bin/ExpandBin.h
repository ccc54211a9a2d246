// Expansion of LZO1X-compressed bin files.
//
// A compressed bin file is a run of chunks, each an 8-byte header (unpacked size U, packed size P, u32
// little-endian) followed by P bytes of LZO1X data. The chunk U = 0, P = 0 ends the file.
#pragma once

#include <cstdint>

class TStream;
class TMemoryStream;

struct BinChunkHeader {
    uint32_t Unpacked = 0;
    uint32_t Packed = 0;
};

// Expands the compressed bin file held in `source` (read from its start) and appends the expanded bytes to
// `dest` at its current position. True when the end chunk was reached; false on an invalid chunk header
// (U < P) or when the source ends inside a chunk. What was written before a failure stays in `dest`.
bool ExpandBin(TStream& source, TStream& dest);

// Upper bound of what LZO1X can produce from `packed` bytes (each extension byte of a run adds at most 255).
uint64_t MaxLzoOutput(uint32_t packed);

// Reserves room in `dest` for what the chunks of `source` whose packed bytes are present can produce (each
// chunk's unpacked size, bounded by what its data can produce), so that the expansion writes into memory
// reserved once.
void ReserveForExpansion(TStream& source, TMemoryStream& dest);
