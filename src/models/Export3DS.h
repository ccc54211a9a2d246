// Pieces of the 3DS writer, open to tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "models/WorldData.h"

// S with "0" put in front until it has n characters.
std::string PadWithZeros(const std::string& s, int n);

// Chunk writer over a byte array: little-endian values, chunk headers and lengths patched at the chunk's end.
struct T3DSWriter {
    std::vector<uint8_t> Data;
    bool Legacy = false; // "Legacy 3DS": names of Max characters or more are cut to Max

    void Write3DSWord(uint16_t v);
    void Write3DSDWord(uint32_t v);
    void Write3DSByte(uint8_t v);
    void Write3DSFloat(float v);
    void Write3DSRGB(uint8_t r, uint8_t g, uint8_t b);
    void Write3DSString(const std::string& s);
    void Write3DSName(const std::string& s, size_t max);
    void Bytes(const void* p, size_t n);
    // Chunk header; returns its start for Patch.
    size_t Begin(uint16_t id, uint32_t length);
    // Writes the chunk's length (from its start to the current end).
    void Patch(size_t start);
};

// Local vertex list of a model in order of first use, and three local indices per face.
struct TMeshVertices {
    std::vector<uint32_t> WorldIndex;
    std::vector<Vector3> Positions;
    std::vector<Vector2> TexCoords; // of the last corner that uses the vertex
    std::vector<uint32_t> Faces;
    std::vector<int32_t> Lookup;    // world vertex -> local position, -1 when absent (kept between models)

    // Position of a world vertex in the local list, or -1.
    int32_t IndexOfVertex(uint32_t worldIndex) const;
};

void BuildMeshVertices(const TWorldData& world, uint32_t modelIndex, TMeshVertices& mesh);
