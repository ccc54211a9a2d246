// Builders of 3D object data blocks (plain and actor layouts, multi-block lists) for the loader tests.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "support/BinWriter.h"

struct FaceSpec {
    uint16_t v[3] = {0, 1, 2};
    uint16_t uv[3] = {0, 0, 0};
    uint32_t extra = 0;
};

struct ModelSpec {
    uint32_t slot = 0;
    std::vector<FaceSpec> faces;
};

struct BoneSpec {
    uint16_t id = 0;
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    uint32_t stb = 2;
    std::vector<float> values;
};

struct MeshSpec {
    uint32_t type = 1;
    uint32_t temp2 = 0;
    uint16_t temp3 = 0;
    uint16_t temp8 = 0;
    uint32_t temp5 = 0;
    std::vector<std::array<float, 3>> vertices;
    uint32_t hasColours = 0;
    std::vector<std::array<float, 2>> uvs;
    std::vector<ModelSpec> models;
    uint32_t code = 0;
    uint32_t hasNormals = 0;
    // Counts written instead of the real ones.
    std::optional<uint32_t> vertexCount, uvCount, modelCount;
    // Actor layout.
    uint16_t a1 = 0;
    std::vector<BoneSpec> bones;
};

// Plain layout: header, has-normals, vertices, normals, colours, UVs, model headers, faces.
Bytes MeshData(const MeshSpec& s);
// Actor layout (code ActorCode): header, A1, A2, bone records, has-normals, vertices, normals, UVs, models, faces.
Bytes ActorData(MeshSpec s);
// Multi-block list (type 8).
Bytes ListData(const std::vector<uint32_t>& keys);

// A triangle mesh of `n` faces with vertices 0..n+1 on a strip.
MeshSpec StripMesh(int faces, float x0 = 0);
