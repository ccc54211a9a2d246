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
};

Result Expand(const Bytes& compressed, Bytes destPrefix = {})
{
    TempDir dir;
    WriteFileBytes(dir.file("in.bin"), compressed);
    TFileStream src(dir.file("in.bin"), TFileStream::OpenRead);
    TMemoryStream dst(destPrefix);
    dst.Seek(0, SeekOrigin::End);
    const bool ok = ExpandBin(src, dst);
    return {ok, dst.Bytes()};
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

    // End chunk whose packed size is not 0.
    f = good;
    PutU32(f, 0);
    PutU32(f, 3);
    f.insert(f.end(), {1, 2, 3});
    r = Expand(f);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.out, first);
}

TEST(ExpandBin, SourceEndingInsideAChunkStops)
{
    const Bytes plain = Pattern(20000);
    const Bytes chunk = CompressChunk(plain);
    // Without an end chunk, cut in the header, and cut in the packed data.
    for (size_t cut : {chunk.size(), chunk.size() + 3, chunk.size() - 10}) {
        Bytes f = chunk;
        if (cut > chunk.size())
            f.insert(f.end(), cut - chunk.size(), 0x11);
        else
            f.resize(cut);
        const Result r = Expand(f);
        EXPECT_FALSE(r.ok) << cut;
        if (cut >= chunk.size())
            EXPECT_EQ(r.out, plain);
        else
            EXPECT_TRUE(r.out.empty());
    }
    EXPECT_FALSE(Expand({}).ok);
}

TEST(ExpandBin, ProducedBytesAreWrittenWhateverTheStatus)
{
    // A chunk that declares more than its data yields: what LZO produced is written and the walk goes on.
    const Bytes plain = Pattern(4000);
    Bytes chunk = CompressChunk(plain);
    SetU32(chunk, 0, 9000);
    Bytes f = chunk;
    const Bytes tail = Pattern(1000);
    const Bytes c2 = CompressBin(tail);
    f.insert(f.end(), c2.begin(), c2.end());
    const Result r = Expand(f);
    EXPECT_TRUE(r.ok);
    Bytes expect = plain;
    expect.insert(expect.end(), tail.begin(), tail.end());
    EXPECT_EQ(r.out, expect);

    // Declared size smaller than the data: output capped at U, the rest of the chunk is dropped.
    chunk = CompressChunk(plain);
    SetU32(chunk, 0, 1000);
    f = chunk;
    PutU32(f, 0);
    PutU32(f, 0);
    const Result r2 = Expand(f);
    EXPECT_TRUE(r2.ok);
    ASSERT_GT(r2.out.size(), 0u);
    ASSERT_LE(r2.out.size(), 1000u);
    EXPECT_TRUE(std::equal(r2.out.begin(), r2.out.end(), plain.begin()));
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
    // A zero-byte production ends the expansion as finished.
    EXPECT_TRUE(r.ok);

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
