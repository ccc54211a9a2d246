#include "bin/TBinFile.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "bin/ExpandBin.h"
#include "bin/LargeBuffer.h"
#include "models/WorldData.h"
#include "platform/Frontend.h"
#include "platform/OutputFile.h"
#include "platform/Paths.h"

namespace {

constexpr uint8_t kMarkerBytes[4] = {0x99, 0xC0, 0xFF, 0xEE};

// Little-endian u32 from four bytes (the host is little-endian, see Stream.h).
uint32_t LoadU32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint64_t HashKey(uint32_t key) { return (static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull) >> 20; }

} // namespace

std::string KeyText(uint32_t key) { return IntToHex(key, 8); }

TBinFile::TBinFile(Frontend& frontend) : frontend_(frontend) {}

void TBinFile::Clear()
{
    Count = 0;
    Blocks.clear();
    keyIndex_.clear();
    indexed_ = 0;
    indexUsed_ = 0;
}

void TBinFile::ReleaseAll()
{
    Clear();
    Blocks.shrink_to_fit();
    std::vector<uint8_t>().swap(Stream.Bytes());
    Stream.SetPosition(0);
    std::vector<uint64_t>().swap(keyIndex_);
    Inputs.Clear();
}

// ---------------------------------------------------------------- loading

bool TBinFile::HeaderHasMarker()
{
    Stream.SetPosition(0);
    uint32_t h[3] = {0, 0, 0};
    Stream.Read(h, 12);
    return h[1] == BlockMarker;
}

bool TBinFile::LoadFromFile(const std::string& fileName)
{
    ReleaseAll();
    try {
        {
            TFileStream file(fileName, TFileStream::OpenRead);
            Inputs.Add(file);
            const int64_t size = file.Size();
            std::vector<uint8_t>& bytes = Stream.Bytes();
            ReserveLarge(bytes, static_cast<size_t>(size));
            bytes.resize(static_cast<size_t>(size));
            file.ReadBuffer(bytes.data(), size);
            Stream.SetPosition(0);
        }
        FileName = fileName;
        if (!HeaderHasMarker()) {
            // Not expanded: expand it in memory and try again.
            uint32_t h[2] = {0, 0};
            Stream.SetPosition(0);
            Stream.Read(h, 8);
            const bool compressed = LooksCompressed(h[0], h[1], Stream.Size());
            // The bytes read are the source; Stream receives the expansion.
            TMemoryStream source(std::move(Stream.Bytes()));
            Stream.Clear();
            ReserveForExpansion(source, Stream);
            ExpandStatus status;
            if (!ExpandBin(source, Stream, &status)) {
                ReleaseAll();
                // Every file without the marker is tried; only one taken as compressed (or one whose later
                // chunks fail) reports where its expansion stopped.
                if (status.Chunk > 0 || compressed)
                    frontend_.AppendLine(MemoId::Memo3, "! " + ExpandFailureText(status));
                return false;
            }
            if (!HeaderHasMarker()) {
                ReleaseAll();
                return false;
            }
        }
        WalkBlocks();
    } catch (...) {
        ReleaseAll();
        throw;
    }
    if (OnLoaded)
        OnLoaded();
    if (Blocks.back().Key != TerminatorKey)
        frontend_.AppendLine(MemoId::Memo3, "! No terminator!");
    return true;
}

void TBinFile::WalkBlocks()
{
    const int64_t end = Stream.Size();
    const uint8_t* mem = Stream.Memory();

    // The header at `pos` into b; bytes beyond the end read as 0.
    auto readHeader = [&](int64_t pos, coffeeblock& b) {
        uint8_t h[12] = {};
        if (pos < end)
            std::memcpy(h, mem + pos, static_cast<size_t>(std::min<int64_t>(12, end - pos)));
        b.Size = LoadU32(h);
        b.Marker = LoadU32(h + 4);
        b.Key = LoadU32(h + 8);
        return std::min<int64_t>(pos + 12, end);
    };
    // Appends an entry; the table grows by doubling into room reserved on huge pages.
    auto append = [&](int64_t offset) -> coffeeblock& {
        if (Blocks.size() == Blocks.capacity())
            ReserveLarge(Blocks, std::max<size_t>(1024, Blocks.capacity() * 2));
        Blocks.emplace_back();
        Count = static_cast<int32_t>(Blocks.size());
        Blocks.back().Offset = static_cast<int32_t>(offset);
        return Blocks.back();
    };

    // Block 0 always gets its data bytes (zero past the end).
    int64_t pos = readHeader(0, append(0));
    Blocks[0].DataCount = Blocks[0].Size;
    pos = std::min<int64_t>(pos + static_cast<int64_t>(Blocks[0].Size), end);
    FileType = BlockTypeName(0);

    TMessagePacer pacer(64);

    while (pos < end && Blocks.back().Key != TerminatorKey) {
        // Pending messages run before the blocks, at most every 10 ms.
        pacer.Tick([this] { frontend_.ProcessMessages(); });
        const int64_t at = pos;
        coffeeblock& b = append(at);
        pos = readHeader(at, b);
        if (b.Marker != BlockMarker) {
            // Resynchronise: the next window (byte by byte) whose bytes 4..7 are the marker. Windows start at
            // `at` and end with the first one that reaches the end of the stream.
            const int64_t lastWindow = std::max<int64_t>(at, end - 12);
            int64_t found = -1;
            if (at + 8 <= end) {
                const uint8_t* from = mem + at + 4;
                const uint8_t* hit = std::search(from, mem + end, kMarkerBytes, kMarkerBytes + 4);
                if (hit != mem + end && (hit - mem) - 4 <= lastWindow)
                    found = (hit - mem) - 4;
            }
            if (found >= 0) {
                b.Offset = static_cast<int32_t>(found);
                pos = readHeader(found, b);
            } else {
                b.Offset = static_cast<int32_t>(lastWindow + 1);
                pos = readHeader(lastWindow, b);
            }
            // A header found at the very end of the stream gets no data bytes.
            if (pos >= end) {
                b.DataCount = 0;
                continue;
            }
        }
        b.DataCount = b.Size;
        pos = std::min<int64_t>(pos + static_cast<int64_t>(b.Size), end);
    }
    Stream.SetPosition(pos);
    IndexRebuild();
}

uint32_t TBinFile::ReadDWord()
{
    uint32_t v = 0;
    Stream.Read(&v, 4);
    return v;
}

float TBinFile::ReadSingle()
{
    const uint32_t v = ReadDWord();
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}

// ---------------------------------------------------------------- block data

uint32_t TBinFile::Readable(int32_t index) const
{
    if (index < 0 || index >= static_cast<int32_t>(Blocks.size()))
        return 0;
    return Blocks[static_cast<size_t>(index)].DataCount;
}

uint32_t TBinFile::Held(int32_t index) const
{
    const uint32_t readable = Readable(index);
    if (readable == 0)
        return 0;
    const int64_t rest = static_cast<int64_t>(Stream.Bytes().size()) - Blocks[static_cast<size_t>(index)].DataOffset();
    return static_cast<uint32_t>(std::clamp<int64_t>(rest, 0, readable));
}

bool TBinFile::GetBytes(int32_t index, int64_t pos, void* dest, int64_t count) const
{
    if (pos < 0 || count < 0 || pos + count > static_cast<int64_t>(Readable(index)))
        return false;
    const coffeeblock& b = Blocks[static_cast<size_t>(index)];
    const int64_t start = b.DataOffset() + pos;
    const int64_t size = static_cast<int64_t>(Stream.Bytes().size());
    const int64_t have = std::clamp<int64_t>(size - start, 0, count);
    auto* d = static_cast<uint8_t*>(dest);
    if (have > 0)
        std::memcpy(d, Stream.Memory() + start, static_cast<size_t>(have));
    if (have < count)
        std::memset(d + have, 0, static_cast<size_t>(count - have));
    return true;
}

uint32_t TBinFile::GetDWord(int32_t index, int32_t pos) const
{
    uint8_t b[4];
    return GetBytes(index, pos, b, 4) ? LoadU32(b) : 0;
}

float TBinFile::GetSingle(int32_t index, int32_t pos) const
{
    const uint32_t v = GetDWord(index, pos);
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}

uint16_t TBinFile::GetWord(int32_t index, int32_t pos) const
{
    uint8_t b[2];
    return GetBytes(index, pos, b, 2) ? static_cast<uint16_t>(b[0] | (b[1] << 8)) : 0;
}

uint32_t TBinFile::GetTag(int32_t index, int32_t pos) const
{
    uint8_t b[4];
    if (!GetBytes(index, pos, b, 4))
        return 0;
    return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
           (static_cast<uint32_t>(b[2]) << 8) | b[3];
}

std::string TBinFile::GetString(int32_t index, int32_t pos, int32_t n) const
{
    if (n < 0 || pos < 0 || static_cast<int64_t>(pos) + n + 1 > static_cast<int64_t>(Readable(index)))
        return {};
    std::string s(static_cast<size_t>(n) + 1, '\0');
    GetBytes(index, pos, s.data(), static_cast<int64_t>(n) + 1);
    return s;
}

std::string TBinFile::GetText(int32_t index, int32_t pos, int32_t n) const
{
    if (n < 0 || pos < 0 || static_cast<int64_t>(pos) + n + 1 > static_cast<int64_t>(Readable(index)))
        return {};
    const coffeeblock& b = Blocks[static_cast<size_t>(index)];
    const int64_t start = b.DataOffset() + pos;
    const int64_t size = static_cast<int64_t>(Stream.Bytes().size());
    const int64_t have = std::clamp<int64_t>(size - start, 0, static_cast<int64_t>(n) + 1);
    if (have <= 0)
        return {};
    const char* p = reinterpret_cast<const char*>(Stream.Memory() + start);
    const void* zero = std::memchr(p, 0, static_cast<size_t>(have));
    const size_t len = zero ? static_cast<size_t>(static_cast<const char*>(zero) - p) : static_cast<size_t>(have);
    return std::string(p, len);
}

// ---------------------------------------------------------------- look-ups

void TBinFile::IndexAdd(uint32_t key, int32_t index)
{
    if (indexed_ != static_cast<size_t>(index)) {
        IndexRebuild();
        return;
    }
    if ((indexUsed_ + 1) * 4 > keyIndex_.size() * 3) {
        // Grow and re-insert in block order (first block of a key wins).
        IndexReserve(std::max<size_t>(1024, keyIndex_.size() * 2));
        for (size_t i = 0; i < static_cast<size_t>(index); ++i)
            IndexAdd(Blocks[i].Key, static_cast<int32_t>(i));
    }
    const size_t mask = keyIndex_.size() - 1;
    for (size_t s = HashKey(key) & mask;; s = (s + 1) & mask) {
        const uint64_t e = keyIndex_[s];
        if (e == 0) {
            keyIndex_[s] = (static_cast<uint64_t>(key) << 32) | static_cast<uint32_t>(index + 1);
            ++indexUsed_;
            break;
        }
        if (static_cast<uint32_t>(e >> 32) == key)
            break; // an earlier block has it
    }
    indexed_ = static_cast<size_t>(index) + 1;
}

void TBinFile::IndexReserve(size_t keys)
{
    size_t cap = 1024;
    while (cap < keys + keys / 2)
        cap *= 2;
    if (cap <= keyIndex_.size())
        return;
    std::vector<uint64_t> fresh;
    ReserveLarge(fresh, cap);
    fresh.assign(cap, 0);
    keyIndex_.swap(fresh);
    indexed_ = 0;
    indexUsed_ = 0;
}

void TBinFile::IndexRebuild() const
{
    auto* self = const_cast<TBinFile*>(this);
    self->keyIndex_.clear();
    self->indexed_ = 0;
    self->indexUsed_ = 0;
    self->IndexReserve(Blocks.size());
    for (size_t i = 0; i < Blocks.size(); ++i)
        self->IndexAdd(Blocks[i].Key, static_cast<int32_t>(i));
}

int32_t TBinFile::FindKey(uint32_t key) const
{
    if (Blocks.empty())
        return -1;
    if (indexed_ != Blocks.size())
        IndexRebuild();
    const size_t mask = keyIndex_.size() - 1;
    for (size_t s = HashKey(key) & mask;; s = (s + 1) & mask) {
        const uint64_t e = keyIndex_[s];
        if (e == 0)
            return -1;
        if (static_cast<uint32_t>(e >> 32) == key)
            return static_cast<int32_t>(static_cast<uint32_t>(e) - 1);
    }
}

int32_t TBinFile::FindKeyFrom(uint32_t key, int32_t start) const
{
    const int32_t n = static_cast<int32_t>(Blocks.size());
    if (start >= n)
        return -1;
    start = std::max(start, 0);
    const int32_t first = FindKey(key);
    if (first < 0)
        return -1;
    if (first >= start)
        return first;
    for (int32_t i = start; i < n; ++i)
        if (Blocks[static_cast<size_t>(i)].Key == key)
            return i;
    return -1;
}

// ---------------------------------------------------------------- names and list

std::string TBinFile::WorldName(int32_t index) const
{
    const std::string s = GetString(index, 12, 60);
    const auto z = s.find('\0');
    return z == std::string::npos ? std::string() : s.substr(0, z);
}

std::string TBinFile::GameObjectName(int32_t index) const
{
    const uint32_t l = GetDWord(index, 16);
    return GetText(index, 20, static_cast<int32_t>(l - 1));
}

std::string TBinFile::BlockTypeName(int32_t index) const
{
    if (index < 0 || index >= static_cast<int32_t>(Blocks.size()))
        return {};
    const coffeeblock& b = Blocks[static_cast<size_t>(index)];
    if (b.Size == 0)
        return "Empty";
    switch (GetTag(index, 0)) {
    case TagGeometry: return "3D object data";
    case TagTexturePack: return GetTag(index, 4) == 0 ? "Texture pack" : "Unknown data";
    case TagTextureInfo: return "Texture information";
    case TagGameObject: return "Game Object";
    case TagWol: return ".wol";
    case TagWow: return ".wow - " + Win1252ToUtf8(WorldName(index));
    case TagPalette: return "Palette";
    case TagTerminator: return "Terminator";
    case TagWolHeader: return ".wol header";
    default: break;
    }
    if (GetDWord(index, 32) == TextureSign && b.Size > 60)
        return "Texture data";
    const uint32_t v = GetDWord(index, 0);
    return (FindKey(v) >= 0 ? "Refers to " : "Unknown type ") + KeyText(v);
}

std::string TBinFile::ListLine(int32_t index) const
{
    const coffeeblock& b = Blocks[static_cast<size_t>(index)];
    std::string line = KeyText(b.Key);
    line += " (";
    line += std::to_string(b.Offset);
    line += ") - ";
    line += BlockTypeName(index);
    if (b.Size != 0 && GetTag(index, 0) == TagGameObject) {
        line += " - ";
        line += Win1252ToUtf8(GetText(index, 20, static_cast<int32_t>(GetDWord(index, 16))));
    }
    return line;
}

void TBinFile::FillList(TListLines& list) const
{
    list.Clear();
    list.Reserve(Blocks.size(), Blocks.size() * 48);
    for (int32_t i = 0; i < static_cast<int32_t>(Blocks.size()); ++i)
        list.Add(ListLine(i));
}

// ---------------------------------------------------------------- dump

std::string TBinFile::ExtractPath(int32_t index)
{
    coffeeblock& b = Blocks[static_cast<size_t>(index)];
    if (GetTag(index, 0) == TagGameObject) {
        std::string name = GameObjectName(index);
        if (!name.empty())
            b.Name = Win1252ToUtf8(name);
    }
    if (!b.Name.empty()) {
        // A name from the data is a path below the current directory, never outside it; a name that a
        // geometry loader made from the bin file's path stays next to the bin file.
        return NamedOutputPath(b.Name, FileName);
    }
    return ChangeFileExt(FileName, "_" + KeyText(b.Key) + ".extracted");
}

void TBinFile::ExtractBlock(int32_t index)
{
    if (index < 0 || index >= static_cast<int32_t>(Blocks.size()))
        return;
    const std::string path = ExtractPath(index);
    const coffeeblock& b = Blocks[static_cast<size_t>(index)];
    const bool written = WriteOutputFile(path, Inputs, [&](TFileStream& out) {
        out.WriteValue(b.Size);
        out.WriteValue(b.Marker);
        out.WriteValue(b.Key);
        // The data bytes the file holds for the block; a stored size beyond them adds nothing.
        if (const uint32_t held = Held(index))
            out.WriteBuffer(Stream.Memory() + b.DataOffset(), held);
    }, false);
    if (!written)
        LogWouldReplace(frontend_, path);
}
