// The archive reader: identifies a BF, FAT or sound-bank file by its first 32-bit value, reads its directory
// into a table of entries, keeps the data stream open and extracts entries into the archive's folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archives/BFInfo.h"
#include "platform/OutputFile.h"
#include "platform/Stream.h"

class Frontend;
class TDirReader;

// Archive types (TBF::ArchiveType).
enum : uint8_t {
    atBigArchive = 1,  // "BIG\0" magic
    atDataArchive = 2, // first value 1..8191: size of the directory area
    atFatArchive = 3,  // first value 0: directory only, data in the .BIG companion
    atSoundBank1 = 4,
    atSoundBank2 = 5,
    atSoundBank3 = 6,
};

class TBF {
public:
    explicit TBF(Frontend& frontend);
    ~TBF();
    TBF(const TBF&) = delete;
    TBF& operator=(const TBF&) = delete;

    std::unique_ptr<TStream> Stream; // the opened file, or a FAT archive's companion
    std::string FileName;            // name of the opened file without its folder
    bool IsOpen = false;
    std::string Directory;           // folder of the opened file (absolute), no trailing separator
    uint8_t ArchiveType = 0;         // 1..6 after a successful open
    int32_t Count = 0;
    std::vector<BFInfo> Entries;

    void Init();
    // Opens, identifies and reads the directory. False: the file is of no known kind. Stream errors propagate.
    bool Open(const std::string& fileName);
    // Reads from Stream at its position up to and including a zero byte.
    void ReadCString(std::string& s);
    // A zero-terminated name in a field of n bytes; the position afterwards is the field's start + n.
    void ReadFixedString(int n, std::string& s);
    // Writes entry `index` below Directory (also the process's current directory from here on). False when the
    // index is outside the table or the entry was not written (with a log line: no name, an output that would
    // replace a file of the archive, a sound the writers cannot write).
    bool ExtractEntry(int index);
    // How log lines name an entry: its name, or "entry " and its number when it has none.
    std::string EntryLabel(int index) const;

private:
    bool ReadBigDirectory(TDirReader& r, std::vector<BFInfo>& out);
    void ReadRecordDirectory(TDirReader& r, int64_t end, uint32_t base, std::vector<BFInfo>& out);
    void ReadBankDirectory(TDirReader& r, uint8_t type, std::vector<BFInfo>& out);
    bool ExtractRaw(int index, const BFInfo& e);
    // The files of the open archive, with every stream file its sounds are read from (looked up once).
    const TFileIds& Sources();
    void Log(int index, const std::string& what);

    Frontend& frontend_;
    std::vector<BFInfo> spare_; // storage of an earlier table, reused by the next open
    TFileIds sources_;          // the opened file and a FAT archive's companion
    bool streamFilesKnown_ = false;
};

// Every '/' becomes '\'.
std::string SlashToBackslash(std::string s);
// Display name of an archive type; "unknown?" outside 1..6.
std::string ArchiveTypeName(uint8_t archiveType);
// The companion of a FAT directory file: the path with its last three characters replaced by "BIG"
// (on a case-sensitive file system another letter case of that name is taken when "BIG" is missing).
std::string FatCompanionName(const std::string& fatPath);
