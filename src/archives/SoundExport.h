// Sound-bank entries written out as RIFF/WAVE files of PCM samples or as Ogg Vorbis files.
#pragma once

#include <filesystem>
#include <string>

#include "archives/BFInfo.h"

class Frontend;
class TFileIds;
class TStream;

// Where a bank's sounds go and where their stream files are found.
struct TSoundTarget {
    TSoundTarget(std::filesystem::path directory, std::string bankFileName, Frontend& ui,
                 const TFileIds* sources = nullptr, std::string label = {}, int index = -1)
        : Directory(std::move(directory)), BankFileName(std::move(bankFileName)), UI(ui), Sources(sources),
          Label(std::move(label)), Index(index)
    {
    }
    std::filesystem::path Directory; // the bank's folder: entry names and stream-file names are relative to it
    std::string BankFileName;        // the bank's file name without folder; a StreamFile equal to it is the bank
    Frontend& UI;                    // explorer log (Memo1) and the Ogg quality option
    const TFileIds* Sources;         // further files no output may replace (the bank and the entry's stream file
                                     // are never replaced)
    std::string Label;               // how log lines name the entry; empty: by its name
    int Index;                       // the entry's number, for the line on a shortened name; -1: named by Label
};

// Writes Entry as a WAV file named by Entry.Name under Target.Directory. Kind 1: PCM copied from the bank at
// Offset (an entry of size 0 reads nothing). Kind 2: 38 bytes copied and Xbox ADPCM decoded from the stream file
// at Offset + 28; the stream file is read where the bank names it, relative to its folder.
// Returns false, with a line in the explorer's log, for an entry that cannot be written (among them an output
// that would replace the bank, a stream file or one of Target.Sources); stream-layer errors are raised as
// EStreamError and leave no output file behind.
bool WriteWave(TStream& Archive, const BFInfo& Entry, const TSoundTarget& Target);

// Writes Entry as an Ogg Vorbis file (Entry.Name with its extension replaced by ".ogg"), two channels, VBR at
// the quality option's position / 100. Mono is written as two equal channels; Kind 2 entries are decoded first.
// An entry of size 0 gets the header pages alone and reads nothing. Same results as WriteWave.
bool WriteOgg(TStream& Archive, const BFInfo& Entry, const TSoundTarget& Target);

// The file a Kind 2 entry's sound is read from (when it is not the bank itself).
std::filesystem::path StreamFilePath(const BFInfo& Entry, const TSoundTarget& Target);

// How the explorer's log names an entry by its number: "entry " + index.
std::string EntryNumberText(int index);

// The file below `directory` for a stored entry name (SafeJoin). A folder or file name cut to fit the file system
// gets a line in the explorer's log: `who` + ": name too long for the file system, shortened to " + the name used.
std::filesystem::path EntryOutputPath(const std::filesystem::path& directory, const std::string& storedName,
                                      Frontend& ui, const std::string& who);

// Output paths of an entry (through EntryOutputPath).
std::filesystem::path WaveFilePath(const BFInfo& Entry, const TSoundTarget& Target);
std::filesystem::path OggFilePath(const BFInfo& Entry, const TSoundTarget& Target);

// The Vorbis TITLE comment of an entry: "TITLE=" + its file name without folder and extension.
std::string OggTitleComment(const BFInfo& Entry);
