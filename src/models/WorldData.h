// The in-memory world: vertices, normals, UV table, models with their faces, texture packs, bounds and centre.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "display/matrices.h"
#include "platform/OutputFile.h"

class Frontend;
class GLTextures;

struct Vector2 {
    float u = 0;
    float v = 0;
};

struct triangle {
    uint32_t VertexIndex[3] = {0, 0, 0}; // corners a, b, c into TWorldData::Vertices
    uint32_t UVIndex[3] = {0, 0, 0};     // into TWorldData::UVs
    Vector2 TexCoord[3];                 // filled by ResolveUVs
    uint32_t Extra = 0;                  // the value stored after each face
};

struct model {
    std::vector<triangle> Triangles;
    int32_t TriangleCount = 0;
    int32_t TexSlot = 0;
    int32_t Pack = 0;
    int32_t FirstTriangle = 0; // global number of the first face, set while an OBJ file is written
    bool HasUV = false;
    std::string Name; // the block's base name and the model's index (file-system text)
};

// Keys and TexIds hold the slots a pack block stores; the slots past them (up to Count) all read key 0 from the
// block and share RestKey and RestTexId.
struct texturepack {
    uint32_t Key = 0;
    int32_t Count = 0;
    std::vector<uint32_t> Keys;   // texture data key of each stored slot
    std::vector<uint32_t> TexIds; // OpenGL texture name of each stored slot
    uint32_t RestKey = 0;
    uint32_t RestTexId = 0;

    uint32_t KeyOf(size_t slot) const { return slot < Keys.size() ? Keys[slot] : RestKey; }
    uint32_t TexIdOf(size_t slot) const { return slot < TexIds.size() ? TexIds[slot] : RestTexId; }
};

Vector3 Vector3Make(float x, float y, float z);
Vector3 Vector3Subtract(const Vector3& a, const Vector3& b);
Vector3 Vector3Normalize(const Vector3& v);
// Unit normal of the triangle a, b, c (counter-clockwise seen from the side it points to); (0,0,0) if degenerate.
Vector3 FaceNormal(const Vector3& a, const Vector3& b, const Vector3& c);

class TWorldData {
public:
    // `ui` gives the export options and takes the exporters' log lines; `textures` deletes OpenGL textures
    // (may be null while there is no OpenGL context: then no texture was ever made).
    explicit TWorldData(Frontend& ui, GLTextures* textures = nullptr) : UI(ui), Textures(textures) {}

    std::vector<Vector3> Vertices;
    std::vector<uint32_t> VertexExtra;
    std::vector<Vector3> Normals;
    std::vector<model> Models;
    std::vector<Vector2> UVs;
    Vector3 MinCorner{};
    Vector3 MaxCorner{};
    Vector3 Center{};
    uint32_t BlockKey = 0;
    uint32_t VertexCount = 0;
    uint32_t UVCount = 0;
    uint32_t ModelCount = 0;
    std::vector<texturepack> Packs;
    int32_t PackCount = 0;
    int32_t CurrentPack = 0;
    bool Loaded = false;
    // Texture coordinates, normals and bounds not yet made for the last loads: loads in a run over many blocks
    // leave them to be made once, before anything reads them. Clear drops it with the geometry.
    bool DerivedPending = false;

    Frontend& UI;
    GLTextures* Textures;

    // Empties the geometry; texture packs, corners, BlockKey and VertexExtra stay.
    void Clear();
    // Deletes the OpenGL texture of every slot of every pack; counts and names stay.
    void FreeTextures();
    // Deletes the textures and releases everything the world holds (the owner then destroys it).
    void FreeWithTextures();
    // Corners by the all-three-strict rule (the corners are vertices of the world), then the centre.
    void UpdateBounds();
    // Index of the first pack with that key; 0 when none (or no packs).
    int32_t FindTexturePack(uint32_t key) const;
    void ResolveUVs();
    void ComputeNormals();

    // The pack of a model, or null when its index names no pack.
    const texturepack* PackOf(const model& m) const;
    // The texture data key of a model's slot; false when the pack or the slot does not exist.
    bool TextureKeyOf(const model& m, uint32_t& key) const;
    // binFileName without folder, its extension replaced by "_" + KEY8 + ".TGA"; empty when the model has no
    // texture (pack or slot missing).
    std::string TextureFileName(const model& m, const std::string& binFileName) const;

    // Writes the whole world in the format chosen on the options page (OBJ + MTL or 3DS). binFileName is the
    // loaded bin file's path (texture file names are made from it). A file whose path names one of Inputs (the
    // files the world was read from) is not written: a line in the analyzer's log says so. The result holds the
    // paths of the files not written for that reason.
    std::vector<std::string> ExportModel(const std::string& BaseName, uint32_t Id, const std::string& binFileName,
                                         const TFileIds& Inputs);
    // BaseName + ".mtl", then BaseName + ".obj".
    std::vector<std::string> ExportOBJ(const std::string& BaseName, uint32_t Id, const std::string& binFileName,
                                       const TFileIds& Inputs);
    // BaseName + ".3DS".
    std::vector<std::string> Export3DS(const std::string& BaseName, const std::string& binFileName,
                                       const TFileIds& Inputs);
};

// Where a file named `name` (an export or a block dump) goes: a name made from the bin file's own path stays in
// that file's folder; any other name (from data) is confined to the current directory. Names are file-system
// text (UTF-8): a name from data was decoded once, where it was read.
std::string NamedOutputPath(const std::string& name, const std::string& binFileName);
// Characters of a UTF-8 name, and the name without its last n characters.
size_t NameLength(std::string_view name);
std::string DropLastChars(const std::string& name, size_t n);
