// Expansion of LZO1X-compressed bin files.
//
// A compressed bin file is a run of chunks, each an 8-byte header (unpacked size U, packed size P, u32
// little-endian) followed by P bytes of LZO1X data. The chunk U = 0, P = 0 ends the file.
#pragma once

#include <cstdint>
#include <string>

class TStream;
class TMemoryStream;

struct BinChunkHeader {
    uint32_t Unpacked = 0;
    uint32_t Packed = 0;
};

// Why an expansion stopped.
enum class ExpandFault {
    None,          // the end chunk, or a chunk that produces nothing, was reached
    InvalidHeader, // U < P, or an end chunk with packed bytes
    Truncated,     // the source ends inside the chunk (its header or its packed bytes)
    BadData,       // the packed bytes do not expand cleanly (an LZO status other than OK; packed bytes left over
                   // after LZO's end marker are accepted)
};

// Where and why an expansion stopped.
struct ExpandStatus {
    ExpandFault Fault = ExpandFault::None;
    uint64_t Chunk = 0;  // number of the chunk it stopped at, from 0 (with None: the end chunk)
    int64_t Offset = 0;  // that chunk's header in the compressed file
    int64_t Written = 0; // bytes written to the destination
};

// Expands the compressed bin file held in `source` (read from its start) and appends the expanded bytes to
// `dest` at its current position. True when the end chunk, or a chunk that produces nothing (no packed
// bytes, or only LZO's end marker), was reached; false on an invalid chunk header
// (U < P), when the source ends inside a chunk, or when a chunk does not expand cleanly. Nothing of the failing
// chunk is written; what was written before it stays in `dest` (a memory destination ends there, also when it
// held more bytes before). `status`, when given, says where it stopped.
bool ExpandBin(TStream& source, TStream& dest, ExpandStatus* status = nullptr);

// One line on a failed expansion: the chunk, its offset, the reason and the bytes written.
std::string ExpandFailureText(const ExpandStatus& status);

// Whether a file is taken as a compressed bin file by its first two u32 (A, B): the first chunk's packed size
// is below its unpacked size and B + 8 (in 32 bits) is at most the file's size.
bool LooksCompressed(uint32_t first, uint32_t second, int64_t fileSize);

// Upper bound of what LZO1X can produce from `packed` bytes (each extension byte of a run adds at most 255).
uint64_t MaxLzoOutput(uint32_t packed);

// Reserves room in `dest` for what the chunks of `source` whose packed bytes are present can produce (each
// chunk's unpacked size, bounded by what its data can produce), so that the expansion writes into memory
// reserved once.
void ReserveForExpansion(TStream& source, TMemoryStream& dest);
