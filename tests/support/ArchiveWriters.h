// Writers of BF BIG, BF data and FAT archives and of the three sound-bank versions, whole or damaged, for tests
// and benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Little-endian byte builder.
class ByteWriter {
public:
    ByteWriter& U8(uint8_t v) { b.push_back(v); return *this; }
    ByteWriter& U16(uint16_t v) { return U8(uint8_t(v)).U8(uint8_t(v >> 8)); }
    ByteWriter& U32(uint32_t v) { return U16(uint16_t(v)).U16(uint16_t(v >> 16)); }
    ByteWriter& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
    ByteWriter& Str(const std::string& s) { b.insert(b.end(), s.begin(), s.end()); return *this; }
    ByteWriter& CStr(const std::string& s) { return Str(s).U8(0); }
    ByteWriter& Fill(size_t n, uint8_t v = 0) { b.insert(b.end(), n, v); return *this; }
    ByteWriter& Raw(const Bytes& d) { b.insert(b.end(), d.begin(), d.end()); return *this; }
    // Zero bytes up to position `pos` (nothing when already there or past it).
    ByteWriter& PadTo(size_t pos, uint8_t v = 0) { if (b.size() < pos) b.resize(pos, v); return *this; }
    // A field of n bytes holding s and zeros (s is cut to n bytes).
    ByteWriter& Field(const std::string& s, size_t n) { const size_t at = b.size(); Str(s.substr(0, n)); return PadTo(at + n); }
    void PutU32At(size_t pos, uint32_t v) { for (int i = 0; i < 4; ++i) b[pos + i] = uint8_t(v >> (8 * i)); }
    size_t Size() const { return b.size(); }
    Bytes b;
};

// One stored file of an archive.
struct ArchiveFile {
    std::string name; // stored as given ('/' or '\')
    Bytes data;
    int32_t key = 0;  // BIG only
};

// Deterministic filler bytes.
Bytes PatternBytes(size_t n, uint32_t seed);

// BF BIG archive: header, offset table, `padding` zero bytes (or zeros up to `namesAt` when set), name records,
// then each file as a 4-byte length and its bytes.
struct BigOptions {
    size_t padding = 4;
    int64_t namesAt = -1;    // absolute position of the name records (zeros up to there)
    uint8_t fillByte = 0;    // byte used between the offset table and the name records
    int64_t countField = -1; // stored count instead of the real one
};
Bytes MakeBigArchive(const std::vector<ArchiveFile>& files, const BigOptions& options = {});

// BF data archive: directory area size, records, then the data area (record offsets count from its start).
// `extraDirBytes` zero bytes end the directory area.
Bytes MakeDataArchive(const std::vector<ArchiveFile>& files, size_t extraDirBytes = 0);

// FAT sound archive: the directory file and its companion holding the stored records.
struct FatPair {
    Bytes fat;
    Bytes big;
};
FatPair MakeFatArchive(const std::vector<ArchiveFile>& files, size_t trailingBytes = 0);

// Sound-bank directory record.
struct BankRecord {
    uint32_t tag = 1;
    int32_t first = 0;       // type 6: the entry's id
    int32_t size = 0;
    int32_t offset = 0;
    int32_t bytesPerSec = 0;
    int32_t sampleRate = 0;
    uint16_t bits = 16;
    uint16_t channels = 1;
    int32_t storage = 0;     // 0 in the bank, 3 stream file, other: unknown
    std::string name;        // versions 1 and 2, storage 0: the 40-byte name field
    std::string streamFile;  // storage 3: the stream file's name (40-byte field, or version 3 trailing name)
    int32_t inBank = 0;      // version 3, storage 3: non-zero when the sound lies in the bank itself
};

struct BankLayout {
    int version = 1;                 // 1, 2 or 3
    int32_t leading = 0;             // leading records to skip (written as filler)
    std::vector<BankRecord> records;
    int64_t countField = -1;         // stored record count instead of the real one
    int32_t marker = 0;              // value after the records
    std::vector<int32_t> afterMarker; // 32-bit values after the marker
    Bytes data;                      // data area (after afterMarker)
};
uint32_t BankMagic(int version);
Bytes MakeSoundBank(const BankLayout& layout);
// Size in bytes of a directory record of this version (the trailing name of version 3 not counted).
size_t BankRecordSize(int version);

// A stream-file sound record: a 66-byte header that the writer skips, then the ADPCM blocks.
Bytes AdpcmRecord(const Bytes& blocks);

// A sample bank of one version with three sounds: 16-bit stereo PCM "music\stereo.wav" (44100 Hz) and mono PCM
// "mono.wav" (22050 Hz) in the bank, the stereo ADPCM record `streamed` at `streamOffset` of the stream file
// "music.xwb"; version 3 adds the mono ADPCM record `inBank`, held in the bank itself.
Bytes SampleBank(int version, const Bytes& stereo, const Bytes& mono, const Bytes& streamed, int32_t streamOffset,
                 const Bytes& inBank, int32_t marker = 0);
