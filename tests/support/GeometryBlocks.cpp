#include "support/GeometryBlocks.h"

namespace {

void Header(Bytes& b, const MeshSpec& s)
{
    PutU32(b, s.type);
    PutU32(b, s.temp2);
    PutU16(b, s.temp3);
    PutU16(b, s.temp8);
    PutU32(b, s.temp5);
    PutU32(b, s.vertexCount.value_or(static_cast<uint32_t>(s.vertices.size())));
    PutU32(b, 0);
    PutU32(b, s.hasColours);
    PutU32(b, s.uvCount.value_or(static_cast<uint32_t>(s.uvs.size())));
    PutU32(b, s.modelCount.value_or(static_cast<uint32_t>(s.models.size())));
    PutU32(b, s.code);
}

void Tail(Bytes& b, const MeshSpec& s)
{
    for (auto& uv : s.uvs) {
        PutF32(b, uv[0]);
        PutF32(b, uv[1]);
    }
    for (auto& m : s.models) {
        PutU32(b, static_cast<uint32_t>(m.faces.size()));
        PutU32(b, m.slot);
    }
    for (auto& m : s.models)
        for (auto& f : m.faces) {
            for (uint16_t v : f.v)
                PutU16(b, v);
            for (uint16_t v : f.uv)
                PutU16(b, v);
            PutU32(b, f.extra);
        }
}

void Vertices(Bytes& b, const MeshSpec& s)
{
    for (auto& v : s.vertices)
        for (float c : v)
            PutF32(b, c);
}

} // namespace

Bytes MeshData(const MeshSpec& s)
{
    Bytes b;
    Header(b, s);
    PutU32(b, s.hasNormals);
    Vertices(b, s);
    if (s.hasNormals == 1)
        for (size_t i = 0; i < s.vertices.size(); ++i)
            for (int k = 0; k < 3; ++k)
                PutF32(b, 0.5f);
    if (s.hasColours == 1)
        for (size_t i = 0; i < s.vertices.size(); ++i)
            PutU32(b, 0xFF00FF00u);
    Tail(b, s);
    return b;
}

Bytes ActorData(MeshSpec s)
{
    s.code = 0xC0DE2002;
    Bytes b;
    Header(b, s);
    PutU16(b, s.a1);
    PutU16(b, static_cast<uint16_t>(s.bones.size()));
    for (auto& bone : s.bones) {
        PutU16(b, bone.id);
        PutU16(b, static_cast<uint16_t>(bone.values.size()));
        for (float f : bone.matrix)
            PutF32(b, f);
        PutU32(b, bone.stb);
        for (float f : bone.values)
            PutF32(b, f);
    }
    PutU32(b, s.hasNormals);
    Vertices(b, s);
    if (static_cast<int32_t>(s.hasNormals) > 0)
        for (size_t i = 0; i < s.vertices.size(); ++i)
            for (int k = 0; k < 3; ++k)
                PutF32(b, 0.5f);
    Tail(b, s);
    return b;
}

Bytes ListData(const std::vector<uint32_t>& keys)
{
    Bytes b;
    PutU32(b, 8);
    PutU32(b, 0);
    PutU32(b, static_cast<uint32_t>(keys.size()));
    b.resize(b.size() + 3, 0);
    for (uint32_t k : keys)
        PutU32(b, k);
    return b;
}

MeshSpec StripMesh(int faces, float x0)
{
    MeshSpec s;
    for (int i = 0; i < faces + 2; ++i)
        s.vertices.push_back({x0 + static_cast<float>(i), static_cast<float>(i % 2), 0});
    ModelSpec m;
    for (int i = 0; i < faces; ++i) {
        FaceSpec f;
        f.v[0] = static_cast<uint16_t>(i);
        f.v[1] = static_cast<uint16_t>(i + 1);
        f.v[2] = static_cast<uint16_t>(i + 2);
        m.faces.push_back(f);
    }
    s.models.push_back(m);
    return s;
}
