#include "models/WorldData.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "platform/GLTextures.h"
#include "platform/Paths.h"

Vector3 Vector3Make(float x, float y, float z)
{
    Vector3 r;
    r.x = x;
    r.y = y;
    r.z = z;
    return r;
}

Vector3 Vector3Subtract(const Vector3& a, const Vector3& b)
{
    return Vector3Make(a.x - b.x, a.y - b.y, a.z - b.z);
}

Vector3 Vector3Normalize(const Vector3& v)
{
    const float len = static_cast<float>(std::sqrt(static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y +
                                                   static_cast<double>(v.z) * v.z));
    if (len == 0 || std::isnan(len))
        return v;
    return Vector3Make(static_cast<float>(v.x / static_cast<double>(len)),
                       static_cast<float>(v.y / static_cast<double>(len)),
                       static_cast<float>(v.z / static_cast<double>(len)));
}

Vector3 FaceNormal(const Vector3& a, const Vector3& b, const Vector3& c)
{
    const Vector3 d1 = Vector3Subtract(a, b);
    const Vector3 d2 = Vector3Subtract(c, b);
    Vector3 n;
    Vector3Cross(d1, d2, n);
    const Vector3 u = Vector3Normalize(n);
    return Vector3Make(0.0f - u.x, 0.0f - u.y, 0.0f - u.z);
}

void TWorldData::Clear()
{
    VertexCount = 0;
    UVCount = 0;
    ModelCount = 0;
    Loaded = false;
    Vertices.clear();
    Normals.clear();
    Models.clear();
    UVs.clear();
    Center = Vector3Make(0, 0, 0);
    DerivedPending = false;
}

void TWorldData::FreeTextures()
{
    if (!Textures)
        return;
    const size_t packs = std::min(Packs.size(), static_cast<size_t>(std::max(PackCount, 0)));
    for (size_t p = 0; p < packs; ++p) {
        const texturepack& pack = Packs[p];
        const size_t slots = std::min(pack.TexIds.size(), static_cast<size_t>(std::max(pack.Count, 0)));
        for (size_t s = 0; s < slots; ++s)
            Textures->DeleteTexture(pack.TexIds[s]);
        if (pack.RestTexId != 0)
            Textures->DeleteTexture(pack.RestTexId);
    }
}

void TWorldData::FreeWithTextures()
{
    FreeTextures();
    Clear();
    Packs.clear();
    Packs.shrink_to_fit();
    PackCount = 0;
    CurrentPack = 0;
    VertexExtra.clear();
}

void TWorldData::UpdateBounds()
{
    MinCorner = Vector3Make(9999999, 9999999, 9999999);
    MaxCorner = Vector3Make(-9999999, -9999999, -9999999);
    for (uint32_t i = 0; i < VertexCount && i < Vertices.size(); ++i) {
        const Vector3& v = Vertices[i];
        if (v.x < MinCorner.x && v.y < MinCorner.y && v.z < MinCorner.z)
            MinCorner = v;
        if (v.x > MaxCorner.x && v.y > MaxCorner.y && v.z > MaxCorner.z)
            MaxCorner = v;
    }
    auto mid = [](float lo, float hi) {
        return static_cast<float>((static_cast<double>(hi) - lo) / 2 + static_cast<double>(lo));
    };
    Center = Vector3Make(mid(MinCorner.x, MaxCorner.x), mid(MinCorner.y, MaxCorner.y), mid(MinCorner.z, MaxCorner.z));
}

int32_t TWorldData::FindTexturePack(uint32_t key) const
{
    const size_t packs = std::min(Packs.size(), static_cast<size_t>(std::max(PackCount, 0)));
    for (size_t p = 0; p < packs; ++p)
        if (Packs[p].Key == key)
            return static_cast<int32_t>(p);
    return 0;
}

void TWorldData::ResolveUVs()
{
    if (UVCount == 0)
        return;
    const size_t uvs = std::min(UVs.size(), static_cast<size_t>(UVCount));
    for (uint32_t m = 0; m < ModelCount && m < Models.size(); ++m) {
        model& md = Models[m];
        if (!md.HasUV)
            continue;
        const size_t faces = std::min(md.Triangles.size(), static_cast<size_t>(std::max(md.TriangleCount, 0)));
        for (size_t t = 0; t < faces; ++t) {
            triangle& tr = md.Triangles[t];
            // A UV index beyond the table gives (0, 0).
            for (int k = 0; k < 3; ++k)
                tr.TexCoord[k] = tr.UVIndex[k] < uvs ? UVs[tr.UVIndex[k]] : Vector2{};
        }
    }
}

void TWorldData::ComputeNormals()
{
    const size_t count = std::min({Vertices.size(), Normals.size(), static_cast<size_t>(VertexCount)});
    for (size_t i = 0; i < count; ++i)
        Normals[i] = Vector3Make(0, 0, 0);
    for (uint32_t m = 0; m < ModelCount && m < Models.size(); ++m) {
        const model& md = Models[m];
        const size_t faces = std::min(md.Triangles.size(), static_cast<size_t>(std::max(md.TriangleCount, 0)));
        for (size_t t = 0; t < faces; ++t) {
            const triangle& tr = md.Triangles[t];
            const uint32_t a = tr.VertexIndex[0], b = tr.VertexIndex[1], c = tr.VertexIndex[2];
            if (a >= count || b >= count || c >= count)
                continue;
            const Vector3 n = FaceNormal(Vertices[a], Vertices[b], Vertices[c]);
            for (uint32_t idx : {a, b, c}) {
                Vector3& acc = Normals[idx];
                acc = Vector3Make(acc.x + n.x, acc.y + n.y, acc.z + n.z);
            }
        }
    }
    for (size_t i = 0; i < count; ++i)
        Normals[i] = Vector3Normalize(Normals[i]);
}

const texturepack* TWorldData::PackOf(const model& m) const
{
    if (m.Pack < 0 || m.Pack >= PackCount || static_cast<size_t>(m.Pack) >= Packs.size())
        return nullptr;
    return &Packs[static_cast<size_t>(m.Pack)];
}

bool TWorldData::TextureKeyOf(const model& m, uint32_t& key) const
{
    const texturepack* pack = PackOf(m);
    if (!pack || m.TexSlot < 0 || m.TexSlot >= pack->Count)
        return false;
    key = pack->KeyOf(static_cast<size_t>(m.TexSlot));
    return true;
}

std::string TWorldData::TextureFileName(const model& m, const std::string& binFileName) const
{
    uint32_t key = 0;
    if (!TextureKeyOf(m, key))
        return {};
    return ChangeFileExt(ExtractFileName(binFileName), "_" + IntToHex(key, 8) + ".TGA");
}

std::string NamedOutputPath(const std::string& name, const std::string& binFileName)
{
    const std::string folder = ExtractFilePath(binFileName);
    if (!folder.empty() && name.size() > folder.size() && name.compare(0, folder.size(), folder) == 0) {
        const std::string rest = name.substr(folder.size());
        if (rest.find_first_of("\\/") == std::string::npos && rest != "." && rest != "..")
            return (std::filesystem::path(folder) / rest).string();
        return SafeJoin(std::filesystem::path(folder), rest, NameBytes::FileSystem).string();
    }
    return SafeJoin(std::filesystem::current_path(), name, NameBytes::FileSystem).string();
}

size_t NameLength(std::string_view name)
{
    size_t n = 0;
    for (char c : name)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::string DropLastChars(const std::string& name, size_t n)
{
    size_t end = name.size();
    for (size_t dropped = 0; dropped < n && end > 0;) {
        --end;
        if ((static_cast<unsigned char>(name[end]) & 0xC0) != 0x80)
            ++dropped;
    }
    return name.substr(0, end);
}
