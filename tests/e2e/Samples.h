// Sample input files of every kind the program reads, written into one folder for runs of the real program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/ArchiveWriters.h"

// The stored files of the BF BIG and BF data samples (names as stored, '\' separators).
std::vector<ArchiveFile> SampleArchiveFiles();
// The 16-bit samples of the bank's two PCM entries.
std::vector<int16_t> SampleStereo();
std::vector<int16_t> SampleMono();

// Writes big.bf, data.bf, sounds.fat + sounds.BIG, bank1/2/3.sb0 (with their stream file music.xwb),
// level.bin (expanded) and packed.bin (compressed) into `dir`.
void WriteSamples(const std::filesystem::path& dir);

// Damaged and hostile inputs: names that climb out of the folder, truncated archives, counts far beyond the file,
// textures and meshes with huge sizes. Written into `dir`.
void WriteHostileSamples(const std::filesystem::path& dir);
