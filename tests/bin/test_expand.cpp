#include <gtest/gtest.h>

#include "bin/ExpandBin.h"
#include "platform/Stream.h"
#include "support/BinWriter.h"
#include "support/TempDir.h"

namespace {

Bytes Pattern(size_t n)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>((i % 97) * 3 ^ (i >> 12));
    return b;
}

struct Result {
    bool ok;
    Bytes out;
    ExpandStatus status;
};

// Into memory; `reserve` makes the reservation the loader makes, so that chunks expand in place.
Result Expand(const Bytes& compressed, Bytes destPrefix = {}, bool reserve = false)
{
    TempDir dir;
    WriteFileBytes(dir.file("in.bin"), compressed);
    TFileStream src(dir.file("in.bin"), TFileStream::OpenRead);
    TMemoryStream dst(destPrefix);
    dst.Seek(0, SeekOrigin::End);
    if (reserve)
        ReserveForExpansion(src, dst);
    Result r{};
    r.ok = ExpandBin(src, dst, &r.status);
    r.out = dst.Bytes();
    return r;
}

// Into a file, as the unpacker writes.
Result ExpandToFile(const Bytes& compressed)
{
    TempDir dir;
    WriteFileBytes(dir.file("in.bin"), compressed);
    Result r{};
    {
        TFileStream src(dir.file("in.bin"), TFileStream::OpenRead);
        TFileStream dst(dir.file("out.bin"), TFileStream::Create);
        r.ok = ExpandBin(src, dst, &r.status);
    }
    r.out = ReadFileBytes(dir.file("out.bin"));
    return r;
}

void ExpectStop(const ExpandStatus& s, ExpandFault fault, uint64_t chunk, size_t offset, size_t written)
{
    EXPECT_EQ(s.Fault, fault);
    EXPECT_EQ(s.Chunk, chunk);
    EXPECT_EQ(s.Offset, static_cast<int64_t>(offset));
    EXPECT_EQ(s.Written, static_cast<int64_t>(written));
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

} // namespace

TEST(ExpandBin, ChunksUpToTheEndChunk)
{
    const Bytes plain = Pattern(300000);
    Bytes file = CompressBin(plain, 65536);
    // Anything after the end chunk is not read.
    file.insert(file.end(), {1, 2, 3, 4, 5, 6, 7, 8, 9});
    const Result r = Expand(file);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.out, plain);

    // Zero bytes after each chunk's LZO stream, counted in P, and a last chunk that declares U but holds no
    // packed bytes (it produces nothing, which ends the file): the same bytes through every path, finished.
    Bytes unpackedEnd = CompressBin(plain, 65536);
    SetU32(unpackedEnd, unpackedEnd.size() - 8, 65536);
    for (const Bytes& f : {PadChunks(file), unpackedEnd})
        for (const Result& e : {Expand(f), Expand(f, {}, true), ExpandToFile(f)}) {
            EXPECT_TRUE(e.ok);
            EXPECT_EQ(e.out, plain);
            EXPECT_EQ(e.status.Fault, ExpandFault::None);
        }
}

TEST(ExpandBin, AppendsAtTheDestinationPosition)
{
    const Bytes plain = Pattern(1000);
    const Result r = Expand(CompressBin(plain), Bytes{0xAA, 0xBB});
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.out.size(), plain.size() + 2);
    EXPECT_EQ(r.out[0], 0xAA);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), r.out.begin() + 2));
}

TEST(ExpandBin, InvalidChunkHeadersFailAndKeepWhatWasWritten)
{
    const Bytes first = Pattern(5000);
    const Bytes good = CompressChunk(first);

    // U < P in the second chunk.
    Bytes f = good;
    PutU32(f, 4);
    PutU32(f, 5);
    f.resize(f.size() + 5, 0);
    Result r = Expand(f);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.out, first);
    ExpectStop(r.status, ExpandFault::InvalidHeader, 1, good.size(), first.size());

    // End chunk whose packed size is not 0.
    f = good;
    PutU32(f, 0);
    PutU32(f, 3);
    f.insert(f.end(), {1, 2, 3});
    r = Expand(f);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.out, first);
    ExpectStop(r.status, ExpandFault::InvalidHeader, 1, good.size(), first.size());
}

TEST(ExpandBin, SourceEndingInsideAChunkStops)
{
    const Bytes plain0 = Pattern(20000);
    const Bytes plain1(7000, 0x5A);
    const Bytes c0 = CompressChunk(plain0);
    const Bytes two = Cat({c0, CompressChunk(plain1)});
    const Bytes both = Cat({plain0, plain1});
    struct Cut {
        size_t size;
        uint64_t chunk;
        size_t offset;
        const Bytes& kept;
    };
    // Without an end chunk, cut in the third header, and cut in the second chunk's packed data.
    const Cut cuts[] = {{two.size(), 2, two.size(), both}, {two.size() + 3, 2, two.size(), both},
                        {two.size() - 10, 1, c0.size(), plain0}};
    for (const Cut& cut : cuts) {
        Bytes f = two;
        f.resize(cut.size, 0x11);
        for (const Result& r : {Expand(f), Expand(f, {}, true), ExpandToFile(f)}) {
            EXPECT_FALSE(r.ok) << cut.size;
            EXPECT_EQ(r.out, cut.kept) << cut.size;
            ExpectStop(r.status, ExpandFault::Truncated, cut.chunk, cut.offset, cut.kept.size());
        }
    }
    const Result empty = Expand({});
    EXPECT_FALSE(empty.ok);
    ExpectStop(empty.status, ExpandFault::Truncated, 0, 0, 0);
}

TEST(ExpandBin, ChunkThatDoesNotExpandCleanlyEndsTheExpansion)
{
    const Bytes plain0 = Pattern(20000);
    const Bytes plain1(30000, 0x42);
    const Bytes c0 = CompressChunk(plain0);
    const Bytes c2 = CompressBin(Pattern(1000));

    // A middle chunk whose packed bytes end in garbage instead of LZO's end marker: LZO has produced most of
    // it when it fails. Into a file, into memory, and in place into reserved memory: only the first chunk's
    // bytes stay.
    Bytes c1 = CompressChunk(plain1);
    std::fill(c1.end() - 3, c1.end(), 0xFF);
    const Bytes damaged = Cat({c0, c1, c2});
    for (const Result& r : {ExpandToFile(damaged), Expand(damaged), Expand(damaged, {}, true)}) {
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.out, plain0);
        ExpectStop(r.status, ExpandFault::BadData, 1, c0.size(), plain0.size());
    }
    // Over an old tail past the position, the chunk expanded in place and (too large a ratio) through a
    // buffer: either way the memory ends where the failing chunk began.
    Bytes huge = CompressChunk(Bytes(1000000, 0x42));
    std::fill(huge.end() - 3, huge.end(), 0xFF);
    for (const Bytes& middle : {c1, huge}) {
        TempDir dir;
        WriteFileBytes(dir.file("in.bin"), Cat({c0, middle, c2}));
        TFileStream src(dir.file("in.bin"), TFileStream::OpenRead);
        TMemoryStream dst(Bytes(100000, 0xEE));
        dst.SetPosition(5);
        ReserveForExpansion(src, dst);
        ExpandStatus s;
        EXPECT_FALSE(ExpandBin(src, dst, &s));
        EXPECT_EQ(dst.Bytes(), Cat({Bytes(5, 0xEE), plain0})) << middle.size();
        EXPECT_EQ(s.Written, static_cast<int64_t>(plain0.size()));
    }

    // A chunk that declares more than its data yields expands cleanly: what LZO produced is written and the
    // walk goes on.
    Bytes longer = CompressChunk(plain1);
    SetU32(longer, 0, 40000);
    Result r = Expand(Cat({c0, longer, c2}));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.out, Cat({plain0, plain1, Pattern(1000)}));

    // Declared size smaller than the data: nothing of the chunk.
    Bytes shorter = CompressChunk(plain1);
    SetU32(shorter, 0, 1000);
    r = Expand(Cat({c0, shorter, c2}), {}, true);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.out, plain0);
    ExpectStop(r.status, ExpandFault::BadData, 1, c0.size(), plain0.size());

    // A chunk holding only LZO's end marker, and one without packed bytes, produce nothing, cleanly: the
    // expansion ends there as finished.
    Bytes marker;
    PutU32(marker, 1000);
    PutU32(marker, 3);
    marker.insert(marker.end(), {0x11, 0, 0});
    Bytes empty;
    PutU32(empty, 1000);
    PutU32(empty, 0);
    for (const Bytes& end : {marker, empty}) {
        r = Expand(Cat({c0, end, c2}), {}, true);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.out, plain0);
        ExpectStop(r.status, ExpandFault::None, 1, c0.size(), plain0.size());
    }
}

TEST(ExpandBin, HugeDeclaredSizeAllocatesOnlyWhatTheDataCanProduce)
{
    // U near 4 GiB with a few packed bytes of garbage: no huge allocation, garbage produces little or nothing.
    Bytes f;
    PutU32(f, 0xFFFFFFF0u);
    PutU32(f, 8);
    f.insert(f.end(), {0x11, 0, 0, 0, 0, 0, 0, 0});
    const Result r = Expand(f);
    EXPECT_LE(r.out.size(), MaxLzoOutput(8));
    EXPECT_TRUE(r.ok); // LZO's end marker with bytes after it: nothing produced, which ends the file

    // The reservation counts only chunks whose packed bytes are all present: an 11-byte file claiming 4 GiB from
    // 16 MiB of packed data reserves nothing, and neither does a cut second chunk after a whole first one.
    TempDir dir;
    const Bytes first = CompressChunk(Pattern(3000));
    Bytes cut = first;
    PutU32(cut, 0xFFFFFFFFu);
    PutU32(cut, 0x00FFFFFFu);
    cut.insert(cut.end(), {0x11, 0, 0});
    Bytes eleven(cut.end() - 11, cut.end());
    for (const Bytes& file : {eleven, cut}) {
        WriteFileBytes(dir.file("cut.bin"), file);
        TFileStream src(dir.file("cut.bin"), TFileStream::OpenRead);
        TMemoryStream dst;
        ReserveForExpansion(src, dst);
        EXPECT_LE(dst.Bytes().capacity(), file.size() == 11 ? 0u : 3000u);
        EXPECT_FALSE(ExpandBin(src, dst));
    }
}

TEST(ExpandBin, ReservedMemoryDestinationBehavesLikeAnyStream)
{
    const Bytes plain = Pattern(200000);
    TempDir dir;
    WriteFileBytes(dir.file("in.bin"), CompressBin(plain, 32768));
    for (size_t existing : {size_t{0}, size_t{10}, size_t{300000}}) {
        TFileStream src(dir.file("in.bin"), TFileStream::OpenRead);
        Bytes before(existing, 0xEE);
        TMemoryStream dst(before);
        dst.SetPosition(std::min<int64_t>(3, static_cast<int64_t>(existing)));
        const int64_t start = dst.Position();
        ReserveForExpansion(src, dst);
        ASSERT_TRUE(ExpandBin(src, dst));
        // Bytes before the position stay, the expansion follows, a longer old tail is kept.
        Bytes expect(before.begin(), before.begin() + start);
        expect.insert(expect.end(), plain.begin(), plain.end());
        if (before.size() > expect.size())
            expect.insert(expect.end(), before.begin() + static_cast<long>(expect.size()), before.end());
        EXPECT_EQ(dst.Bytes(), expect) << existing;
        EXPECT_EQ(dst.Position(), start + static_cast<int64_t>(plain.size()));
    }
}
