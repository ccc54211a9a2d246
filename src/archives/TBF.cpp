#include "archives/TBF.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unordered_set>

#include "archives/DirReader.h"
#include "archives/SoundExport.h"
#include "platform/Frontend.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kBigMagic = 0x00474942; // "BIG\0"
constexpr uint32_t kDataMax = 0x1FFF;
constexpr uint32_t kBank1Magic = 0x000A0004;
constexpr uint32_t kBank2Magic = 0x00120009;
constexpr uint32_t kBank3Magic = 0x00150000;

constexpr int64_t kBigTable = 68;    // offset table of a BIG archive
constexpr int64_t kBigNameRec = 84;  // name record: size, 16 unused bytes, name

// Name-record positions of four known BIG archives, which hold other data between the tables.
int64_t KnownBigNamePosition(int32_t count)
{
    switch (count) {
    case 3308: return 0x1796EC;
    case 5346: return 0x1C90AC;
    case 6648: return 0x1C34EC;
    case 8924: return 0x15D34;
    default: return -1;
    }
}

// Signed 32-bit sum that wraps instead of overflowing.
int32_t Add32(int32_t a, int64_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

std::string Str(int64_t v) { return std::to_string(v); }

void SlashesToBackslashes(std::string& s)
{
    for (char* p = s.data(); (p = static_cast<char*>(std::memchr(p, '/', s.data() + s.size() - p))) != nullptr;)
        *p++ = '\\';
}

} // namespace

std::string SlashToBackslash(std::string s)
{
    SlashesToBackslashes(s);
    return s;
}

std::string ArchiveTypeName(uint8_t archiveType)
{
    switch (archiveType) {
    case atBigArchive: return "BF BIG archive";
    case atDataArchive: return "BF data archive";
    case atFatArchive: return "FAT sound archive";
    case atSoundBank1: return "Sound bank version 1";
    case atSoundBank2: return "Sound bank version 2";
    case atSoundBank3: return "Sound bank version 3";
    default: return "unknown?";
    }
}

std::string FatCompanionName(const std::string& fatPath)
{
    const std::string named = fatPath.substr(0, fatPath.size() < 3 ? 0 : fatPath.size() - 3) + "BIG";
    const fs::path p(named);
    const std::string found = TNameCase().Find(p.has_parent_path() ? p.parent_path() : fs::path("."),
                                               p.filename().string());
    if (found.empty() || found == p.filename().string())
        return named; // missing: opening it reports the error
    return p.has_parent_path() ? (p.parent_path() / found).string() : found;
}

TBF::TBF(Frontend& frontend) : frontend_(frontend) {}

TBF::~TBF() = default;

void TBF::Init() { IsOpen = false; }

bool TBF::Open(const std::string& fileName)
{
    const fs::path given(fileName);
    FileName = given.filename().string();
    std::error_code ec;
    const fs::path full = fs::absolute(given, ec);
    Directory = (ec ? given : full).parent_path().string();

    Stream.reset();
    IsOpen = false;
    auto opened = std::make_unique<TFileStream>(fileName, TFileStream::OpenRead);
    TFileIds sources;
    sources.Add(*opened);
    Stream = std::move(opened);

    // The table of the file opened before last is reused for this one.
    std::vector<BFInfo> entries = std::move(spare_);
    spare_.clear();
    uint8_t type = 0;
    try {
        bool fat = false;
        {
            TDirReader r(*Stream);
            uint32_t magic = 0;
            r.ReadValue(magic);
            if (magic != kBigMagic)
                entries.clear();
            if (magic == kBigMagic) {
                type = atBigArchive;
                if (!ReadBigDirectory(r, entries))
                    type = 0;
            } else if (magic >= 1 && magic <= kDataMax) {
                type = atDataArchive;
                ReadRecordDirectory(r, static_cast<int64_t>(magic) + 3, magic + 4, entries);
            } else if (magic == 0) {
                type = atFatArchive;
                fat = true;
                r.Seek(0);
                ReadRecordDirectory(r, r.Size() - 1, 0, entries);
            } else if (magic == kBank1Magic) {
                type = atSoundBank1;
            } else if (magic == kBank2Magic) {
                type = atSoundBank2;
            } else if (magic == kBank3Magic) {
                type = atSoundBank3;
            }
            if (type >= atSoundBank1)
                ReadBankDirectory(r, type, entries);
        }
        if (type == 0) {
            Stream.reset();
            return false;
        }
        if (fat) {
            Stream.reset();
            auto companion = std::make_unique<TFileStream>(FatCompanionName(fileName), TFileStream::OpenRead);
            sources.Add(*companion);
            Stream = std::move(companion);
        }
    } catch (...) {
        Stream.reset();
        IsOpen = false;
        throw;
    }

    spare_ = std::move(Entries);
    Entries = std::move(entries);
    Count = static_cast<int32_t>(Entries.size());
    ArchiveType = type;
    sources_ = std::move(sources);
    streamFilesKnown_ = false;
    IsOpen = true;
    return true;
}

void TBF::ReadCString(std::string& s)
{
    s.clear();
    if (!Stream)
        return;
    char c = 0;
    while (Stream->Read(&c, 1) == 1 && c != 0)
        s += c;
}

void TBF::ReadFixedString(int n, std::string& s)
{
    if (!Stream) {
        s.clear();
        return;
    }
    const int64_t start = Stream->Position();
    ReadCString(s);
    Stream->Seek(start + n, SeekOrigin::Begin);
}

// BF BIG archive: count at 8, offset/key pairs from 68, then (after zero padding or at a known position) one
// 84-byte name record per entry. A count that the file cannot hold is no archive of this kind.
bool TBF::ReadBigDirectory(TDirReader& r, std::vector<BFInfo>& out)
{
    int32_t n = 0;
    r.Seek(8);
    r.ReadValue(n);
    if (n < 0 || (n > 0 && kBigTable + 8 * static_cast<int64_t>(n) > r.Size()))
        return false;
    // The offset table in one piece; `out` may hold a previous table whose entries (and name buffers) are
    // reused.
    std::vector<int32_t> table(2 * static_cast<size_t>(n));
    r.Seek(kBigTable);
    r.Read(table.data(), 8 * static_cast<int64_t>(n));
    out.resize(static_cast<size_t>(n));
    const int64_t known = KnownBigNamePosition(n);
    if (known >= 0)
        r.Seek(known);
    else
        r.SkipZeroPadding();
    const int32_t* pair = table.data();
    for (auto& e : out) {
        e.Offset = *pair++;
        e.Key = *pair++;
        e.SampleRate = e.BytesPerSec = e.Id = 0;
        e.Kind = 0;
        e.Bits = e.Channels = 0;
        e.StreamFile.clear();
        const int64_t rec = r.Position();
        // A whole record in memory whose name ends inside it: taken straight from the window.
        if (const uint8_t* p = r.Peek(kBigNameRec)) {
            const auto* name = reinterpret_cast<const char*>(p + 20);
            if (const void* zero = std::memchr(name, 0, kBigNameRec - 20)) {
                std::memcpy(&e.Size, p, 4);
                const size_t len = static_cast<size_t>(static_cast<const char*>(zero) - name);
                e.Name.resize(len);
                char* out = e.Name.data();
                for (size_t k = 0; k < len; ++k)
                    out[k] = name[k] == '/' ? '\\' : name[k];
                r.Seek(rec + kBigNameRec);
                continue;
            }
        }
        e.Size = 0;
        r.ReadValue(e.Size);
        r.Skip(16);
        r.ReadCString(e.Name);
        SlashesToBackslashes(e.Name);
        r.Seek(rec + kBigNameRec);
    }
    return true;
}

// Directory records of BF data and FAT archives: 5 values (unused, offset, size, unused, unused) and a
// zero-terminated name, read while the position is below `end` and inside the file.
void TBF::ReadRecordDirectory(TDirReader& r, int64_t end, uint32_t base, std::vector<BFInfo>& out)
{
    std::string name;
    while (r.Position() < end && !r.AtEnd()) {
        int32_t v[5] = {0, 0, 0, 0, 0};
        r.Read(v, sizeof v);
        r.ReadCString(name);
        BFInfo e;
        e.Offset = Add32(v[1], base);
        e.Size = v[2];
        e.Name = SlashToBackslash(name);
        out.push_back(std::move(e));
    }
}

void TBF::ReadBankDirectory(TDirReader& r, uint8_t type, std::vector<BFInfo>& out)
{
    const bool v1 = type == atSoundBank1, v2 = type == atSoundBank2, v3 = type == atSoundBank3;
    int32_t leading = 0, count = 0;
    r.ReadValue(leading);
    r.ReadValue(count);
    r.Skip(16);
    const int64_t leadingLen = v1 ? 100 : v2 ? 108 : 104;
    if (leading > 0)
        r.Skip(leading * leadingLen);
    const int64_t restAfterTag = v1 ? 120 : v2 ? 124 : 112;

    // The bank's name up to its first '.' (empty without one).
    const auto dot = FileName.find('.');
    const std::string bankBase = dot == std::string::npos ? std::string() : FileName.substr(0, dot);

    // A directory that claims more records than the file holds ends at the end of the file.
    for (int32_t k = 0; k < count && !r.AtEnd(); ++k) {
        int32_t first = 0;
        uint32_t tag = 0;
        r.ReadValue(first);
        r.ReadValue(tag);
        if (tag != 1) {
            const bool skipped = tag == 8 || tag == 10 || tag == 12 || tag == 13 || tag == 14 || tag == 15 ||
                                 (!v1 && (tag == 4 || tag == 5 || tag == 7));
            if (!skipped)
                frontend_.AppendLine(MemoId::Memo1, "[" + Str(k) + "]: Unknown tag " +
                                                        Str(static_cast<int32_t>(tag)) + " at " + Str(r.Position()));
            r.Skip(restAfterTag);
            continue;
        }

        const std::string built = bankBase + Str(static_cast<int64_t>(out.size())) + ".wav";
        BFInfo e;
        if (v3)
            e.Id = first;
        r.ReadValue(e.Size);
        r.Skip(4);
        r.ReadValue(e.Offset);
        r.Skip(v3 ? 60 : 44);
        r.ReadValue(e.BytesPerSec);
        r.ReadValue(e.SampleRate);
        r.ReadValue(e.Bits);
        if (!v1)
            r.Skip(2);
        r.ReadValue(e.Channels);
        if (!v1)
            r.Skip(2);
        int32_t storage = 0;
        r.ReadValue(storage);
        const int64_t afterStorage = r.Position();
        std::string text;
        bool unknown = false;
        if (!v3) {
            if (storage == 0) {
                r.ReadFixedString(40, text);
                e.Name = SlashToBackslash(text);
                e.Kind = 1;
            } else if (storage == 3) {
                e.Name = built;
                r.ReadFixedString(40, text);
                e.StreamFile = SlashToBackslash(text);
                e.Kind = 2;
            } else {
                unknown = true;
            }
            r.Skip(8);
        } else if (storage == 0) {
            e.Name = built;
            e.Kind = 1;
            r.Skip(20);
        } else if (storage == 3) {
            int32_t inBank = 0;
            r.ReadValue(inBank);
            e.Name = built;
            r.Skip(16);
            e.Kind = 2;
            if (inBank != 0) {
                e.StreamFile = FileName;
            } else {
                r.ReadCString(text);
                e.StreamFile = SlashToBackslash(text);
                if (r.Position() % 2 != 0)
                    r.Skip(1);
            }
        } else {
            unknown = true;
        }
        if (unknown)
            frontend_.ShowWarning("[" + Str(k) + "]: Unknown type " + Str(storage) + " at " + Str(afterStorage));
        out.push_back(std::move(e));
    }

    // Data base: where the bank's data area starts; offsets of sounds stored in the bank count from there.
    int32_t marker = 0;
    r.ReadValue(marker);
    const int64_t p0 = r.Position();
    int64_t base = 0;
    if (marker <= 0) {
        base = v1 ? p0 : p0 + 4;
    } else if (!v3 && UpperCase(FileName) == "AMB_FX.SB0") {
        base = v1 ? p0 : p0 + 4;
    } else {
        const int64_t size = r.Size();
        int32_t v = 0;
        bool found = false;
        for (;;) {
            r.ReadValue(v);
            const int64_t after = r.Position();
            if (static_cast<int64_t>(v) == size - after) {
                base = after;
                found = true;
                break;
            }
            if (after >= size || (v2 && v >= size))
                break;
        }
        if (!found)
            base = v >= size ? p0 + 4 : r.Position();
    }
    for (auto& e : out)
        if (e.Kind == 1)
            e.Offset = Add32(e.Offset, base);
}

std::string TBF::EntryLabel(int index) const
{
    if (index >= 0 && static_cast<size_t>(index) < Entries.size() && !IsEmptyName(Entries[size_t(index)].Name))
        return Win1252ToUtf8(Entries[size_t(index)].Name);
    return EntryNumberText(index);
}

void TBF::Log(int index, const std::string& what) { frontend_.AppendLine(MemoId::Memo1, EntryLabel(index) + ": " + what); }

const TFileIds& TBF::Sources()
{
    if (!streamFilesKnown_) {
        streamFilesKnown_ = true;
        TNameCase names;
        std::unordered_set<std::string> seen;
        for (const BFInfo& e : Entries)
            if (e.Kind == 2 && e.StreamFile != FileName && seen.insert(e.StreamFile).second)
                sources_.Add(ResolveStoredPath(Directory, e.StreamFile, &names));
    }
    return sources_;
}

bool TBF::ExtractEntry(int index)
{
    std::error_code ec;
    const fs::path folder = Directory.empty() ? fs::path(".") : fs::path(Directory);
    if (fs::current_path(ec) != folder)
        fs::current_path(folder, ec);
    if (ec)
        throw EStreamError("Cannot change to folder \"" + Directory + "\". " + ec.message());
    if (index < 0 || index >= Count || static_cast<size_t>(index) >= Entries.size())
        return false;
    if (!IsOpen || !Stream)
        throw EStreamError("No archive is open.");
    const BFInfo& e = Entries[static_cast<size_t>(index)];
    const bool raw = ArchiveType >= atBigArchive && ArchiveType <= atFatArchive;
    const bool bank = ArchiveType >= atSoundBank1 && ArchiveType <= atSoundBank3;
    if (!raw && !bank)
        return false;
    // An entry without a name has no file of its own (sounds of unknown storage are reported by the writers).
    if ((raw || e.Kind == 1 || e.Kind == 2) && IsEmptyName(e.Name)) {
        Log(index, "no name, not extracted.");
        return false;
    }
    if (raw)
        return ExtractRaw(index, e);

    // Sound-bank entries go to the writer that the audio format option selects; with none selected nothing is
    // written.
    const TSoundTarget target{fs::path(Directory), FileName, frontend_, &Sources(), EntryLabel(index), index};
    switch (frontend_.Option(OptionId::ConvertFormat)) {
    case 0: return WriteWave(*Stream, e, target);
    case 1: return WriteOgg(*Stream, e, target);
    default: return true;
    }
}

// Exactly Size bytes from the entry's data into a new file below the archive's folder (the name cannot leave
// it); a failed copy leaves no partial file.
bool TBF::ExtractRaw(int index, const BFInfo& e)
{
    if (e.Size < 0)
        throw EStreamError("Invalid size " + Str(e.Size) + " (" + EntryLabel(index) + ").");
    // The data follows the stored length, which is not read. Data the file does not hold ends the command
    // before the output is created.
    const int64_t start = static_cast<int64_t>(e.Offset) + 4;
    if (e.Size > 0) {
        RequireBytes(*Stream, start, e.Size, EntryLabel(index));
        Stream->Seek(start, SeekOrigin::Begin);
    }
    const fs::path out = EntryOutputPath(Directory, e.Name, frontend_, EntryNumberText(index));
    const bool written = WriteOutputFile(out, Sources(), [&](TFileStream& file) {
        if (e.Size > 0)
            file.CopyFrom(*Stream, e.Size);
    });
    if (!written)
        Log(index, "the output would replace its own source file, not extracted.");
    return written;
}
