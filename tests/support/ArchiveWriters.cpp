#include "support/ArchiveWriters.h"

Bytes PatternBytes(size_t n, uint32_t seed)
{
    Bytes out(n);
    uint32_t x = seed * 2654435761u + 12345u;
    for (auto& c : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<uint8_t>(x);
    }
    return out;
}

Bytes MakeBigArchive(const std::vector<ArchiveFile>& files, const BigOptions& o)
{
    const size_t n = files.size();
    ByteWriter w;
    w.Str(std::string("BIG", 4)).U32(0).I32(o.countField >= 0 ? int32_t(o.countField) : int32_t(n)).Fill(56);
    const size_t table = w.Size();
    w.Fill(8 * n);
    if (o.namesAt >= 0)
        w.PadTo(size_t(o.namesAt), o.fillByte);
    else
        w.Fill(o.padding, o.fillByte);
    for (const auto& f : files) {
        const size_t rec = w.Size();
        w.I32(int32_t(f.data.size())).Fill(16, 0xEE).CStr(f.name);
        w.PadTo(rec + 84);
    }
    for (size_t i = 0; i < n; ++i) {
        w.PutU32At(table + 8 * i, uint32_t(w.Size()));
        w.PutU32At(table + 8 * i + 4, uint32_t(files[i].key));
        w.I32(int32_t(files[i].data.size())).Raw(files[i].data);
    }
    return w.b;
}

namespace {
void DirectoryRecord(ByteWriter& w, int32_t offset, const ArchiveFile& f)
{
    w.U32(0x11111111).I32(offset).I32(int32_t(f.data.size())).U32(0x22222222).U32(0x33333333).CStr(f.name);
}
} // namespace

Bytes MakeDataArchive(const std::vector<ArchiveFile>& files, size_t extraDirBytes)
{
    ByteWriter dir, data;
    for (const auto& f : files) {
        DirectoryRecord(dir, int32_t(data.Size()), f);
        data.I32(int32_t(f.data.size())).Raw(f.data);
    }
    dir.Fill(extraDirBytes);
    ByteWriter w;
    w.U32(uint32_t(dir.Size())).Raw(dir.b).Raw(data.b);
    return w.b;
}

FatPair MakeFatArchive(const std::vector<ArchiveFile>& files, size_t trailingBytes)
{
    ByteWriter dir, big;
    big.Str("BIGF").Fill(12);
    for (const auto& f : files) {
        ByteWriter rec;
        rec.U32(0).I32(int32_t(big.Size())).I32(int32_t(f.data.size())).U32(7).U32(9).CStr(f.name);
        dir.Raw(rec.b);
        big.I32(int32_t(f.data.size())).Raw(f.data);
    }
    dir.Fill(trailingBytes, 0x5A);
    return {dir.b, big.b};
}

uint32_t BankMagic(int version)
{
    return version == 1 ? 0x000A0004u : version == 2 ? 0x00120009u : 0x00150000u;
}

size_t BankRecordSize(int version) { return version == 1 ? 128 : version == 2 ? 132 : 120; }

Bytes MakeSoundBank(const BankLayout& s)
{
    const int v = s.version;
    ByteWriter w;
    w.U32(BankMagic(v)).I32(s.leading)
        .I32(s.countField >= 0 ? int32_t(s.countField) : int32_t(s.records.size()))
        .U32(0xA1).U32(0xA2).U32(0xA3).U32(0xA4);
    w.Fill(size_t(s.leading > 0 ? s.leading : 0) * (v == 1 ? 100 : v == 2 ? 108 : 104), 0x4C);
    for (const auto& r : s.records) {
        const size_t start = w.Size();
        w.I32(r.first).U32(r.tag);
        if (r.tag != 1) {
            w.PadTo(start + BankRecordSize(v), 0x77);
            continue;
        }
        w.I32(r.size).U32(0xDEAD).I32(r.offset);
        w.Fill(v == 3 ? 60 : 44, 0x99);
        w.I32(r.bytesPerSec).I32(r.sampleRate).U16(r.bits);
        if (v != 1)
            w.U16(0xBEEF);
        w.U16(r.channels);
        if (v != 1)
            w.U16(0xBEEF);
        w.I32(r.storage);
        // An unknown storage type is followed by what a reader passes: the two trailing values (versions 1
        // and 2) or nothing (version 3).
        if (v != 3) {
            if (r.storage == 0 || r.storage == 3)
                w.Field(r.storage == 3 ? r.streamFile : r.name, 40);
            w.U32(0x12345678).U32(0x9ABCDEF0);
        } else if (r.storage == 3) {
            w.I32(r.inBank).Fill(16, 0x66);
            if (r.inBank == 0) {
                w.CStr(r.streamFile);
                if (w.Size() % 2)
                    w.U8(0);
            }
        } else if (r.storage == 0) {
            w.Fill(20, 0x55);
        }
    }
    w.I32(s.marker);
    for (int32_t x : s.afterMarker)
        w.I32(x);
    w.Raw(s.data);
    return w.b;
}

Bytes AdpcmRecord(const Bytes& blocks)
{
    Bytes r(28 + 38, 0x3C);
    r.insert(r.end(), blocks.begin(), blocks.end());
    return r;
}

Bytes SampleBank(int version, const Bytes& stereo, const Bytes& mono, const Bytes& streamed, int32_t streamOffset,
                 const Bytes& inBank, int32_t marker)
{
    Bytes data;
    auto append = [&](const Bytes& b) {
        const auto at = static_cast<int32_t>(data.size());
        data.insert(data.end(), b.begin(), b.end());
        return at;
    };
    BankRecord a;
    a.name = "music\\stereo.wav";
    a.size = static_cast<int32_t>(stereo.size());
    a.offset = append(stereo);
    a.sampleRate = 44100;
    a.bytesPerSec = 44100 * 4;
    a.channels = 2;
    BankRecord m = a;
    m.name = "mono.wav";
    m.size = static_cast<int32_t>(mono.size());
    m.offset = append(mono);
    m.sampleRate = 22050;
    m.bytesPerSec = 44100;
    m.channels = 1;
    BankRecord s = a;
    s.storage = 3;
    s.streamFile = "music.xwb";
    s.offset = streamOffset;
    s.size = static_cast<int32_t>(streamed.size());
    s.sampleRate = 22050;
    s.bytesPerSec = 22050 * 2 * 36 / 64;
    BankLayout layout;
    layout.version = version;
    layout.records = {a, m, s};
    layout.marker = marker;
    if (version != 1)
        layout.afterMarker = {0};
    const int32_t inBankAt = append(inBank);
    layout.data = data;
    if (version == 3) {
        BankRecord d = s;
        d.inBank = 1;
        d.size = static_cast<int32_t>(inBank.size());
        d.channels = 1;
        d.bytesPerSec = 22050 * 36 / 64;
        layout.records.push_back(d);
        const auto size = MakeSoundBank(layout).size();
        layout.records.back().offset = static_cast<int32_t>(size - data.size()) + inBankAt;
    }
    return MakeSoundBank(layout);
}
