// The archive reader and extraction: BF BIG, BF data and FAT archives (with their companion) and the three
// sound-bank versions, written out raw, as WAV or as Ogg Vorbis files, in a private folder.
//
// Input: an option byte, the archive's bytes, then further files of the folder (a FAT companion, a bank's stream
// files) in the form of FuzzSupport.h. Option bits 0-1: audio format (none, WAV, Ogg, WAV); 2-3: Ogg quality
// position; 4-6: the archive's file name (kNames).
//
// Extraction must leave its sources as they were: the archive, a FAT archive's companion and the stream files of
// a bank's entries.
#include <map>

#include "FuzzSupport.h"
#include "archives/TBF.h"
#include "platform/Frontend.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

const char* const kNames[8] = {"game.bf", "snd.fat", "bank.sb0", "AMB_FX.SB0", "data.BF", "sfx.FAT", "music.sb0", "a"};
const int kQuality[4] = {100, 0, 1000, 37};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t options = data[0];
    fuzz::WorkFolder folder;
    const std::string archiveName = kNames[(options >> 4) & 7];
    const auto files =
        fuzz::SplitFiles(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), archiveName);
    for (const auto& f : files)
        fuzz::WriteFile(folder.Path() / f.name, f.data);
    const std::string archive = (folder.Path() / archiveName).string();

    MemoryFrontend ui;
    ui.options[OptionId::ConvertFormat] = (options & 3) == 0 ? -1 : (options & 3) == 2 ? 1 : 0;
    ui.options[OptionId::OggQuality] = kQuality[(options >> 2) & 3];
    TBF bf(ui);
    bf.Init();
    bool open = false;
    // Opened twice: the second open reuses the first one's table.
    for (int pass = 0; pass < 2; ++pass)
        if (!fuzz::Command([&] { open = bf.Open(archive); }))
            open = false;
    if (!open)
        return 0;

    // The explorer's list lines.
    const bool bank = bf.ArchiveType >= atSoundBank1 && bf.ArchiveType <= atSoundBank3;
    for (const BFInfo& e : bf.Entries) {
        std::string line = Win1252ToUtf8(e.Name);
        if (bank)
            line += " [" + std::to_string(e.Size) + " bytes @ " + std::to_string(e.Offset) + "]";
    }

    // The sources and their bytes before the extraction.
    std::map<fs::path, std::string> sources;
    auto keep = [&](const fs::path& p) {
        if (auto bytes = fuzz::ReadFile(p); bytes && fs::is_regular_file(p))
            sources.emplace(fs::weakly_canonical(p), std::move(*bytes));
    };
    keep(archive);
    if (bf.ArchiveType == atFatArchive)
        keep(fs::absolute(FatCompanionName(archive)));
    if (bank)
        for (const BFInfo& e : bf.Entries)
            if (e.Kind == 2 && !e.StreamFile.empty())
                keep(SafeJoin(bf.Directory, e.StreamFile));

    // "Extract" of every entry; an error ends the run as it does in the window.
    for (int i = 0; i < bf.Count; ++i)
        if (!fuzz::Command([&] { bf.ExtractEntry(i); }))
            break;
    bf.Stream.reset();

    for (const auto& [path, before] : sources) {
        const auto after = fuzz::ReadFile(path);
        FUZZ_CHECK(after && *after == before, "extraction changed its source " + path.filename().string());
    }
    return 0;
}
