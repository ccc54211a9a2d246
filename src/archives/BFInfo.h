// One archive or sound-bank directory entry.
#pragma once

#include <cstdint>
#include <string>

struct BFInfo {
    int32_t Offset = 0;      // archives: position of the stored record (4 unused bytes, then data); banks: sound data
    int32_t Key = 0;         // BF BIG: second value of the offset-table pair; else 0
    int32_t Size = 0;        // data size in bytes
    int32_t SampleRate = 0;  // banks: samples per second
    int32_t BytesPerSec = 0; // banks: average bytes per second
    int16_t Kind = 0;        // banks: 1 PCM in the bank, 2 Xbox ADPCM in a stream file, 0 unknown
    uint16_t Bits = 0;       // banks: bits per sample
    uint16_t Channels = 0;   // banks: channel count
    std::string StreamFile;  // kind 2: file that holds the sound
    int32_t Id = 0;          // type-6 banks: the entry's first 32-bit value
    std::string Name;        // relative output path, '\' separated, 8-bit code-page bytes
};
