// 3DS writer: one material and one triangle-mesh object per model, fixed scene settings, a keyframe header.
#include <algorithm>
#include <cstring>

#include "models/Export3DS.h"
#include "models/WorldData.h"
#include "platform/Frontend.h"
#include "platform/OutputFile.h"
#include "platform/Paths.h"
#include "platform/Stream.h"

std::string PadWithZeros(const std::string& s, int n)
{
    if (static_cast<int>(s.size()) >= n)
        return s;
    return std::string(static_cast<size_t>(n) - s.size(), '0') + s;
}

void T3DSWriter::Write3DSWord(uint16_t v) { Bytes(&v, 2); }
void T3DSWriter::Write3DSDWord(uint32_t v) { Bytes(&v, 4); }
void T3DSWriter::Write3DSByte(uint8_t v) { Bytes(&v, 1); }
void T3DSWriter::Write3DSFloat(float v) { Bytes(&v, 4); }
void T3DSWriter::Write3DSRGB(uint8_t r, uint8_t g, uint8_t b)
{
    const uint8_t rgb[3] = {r, g, b};
    Bytes(rgb, 3);
}
void T3DSWriter::Write3DSString(const std::string& s)
{
    Bytes(s.data(), s.size());
    Write3DSByte(0);
}
void T3DSWriter::Write3DSName(const std::string& s, size_t max)
{
    if (Legacy && s.size() >= max) {
        Bytes(s.data(), max);
        Write3DSByte(0);
    } else {
        Write3DSString(s);
    }
}
void T3DSWriter::Bytes(const void* p, size_t n)
{
    const size_t at = Data.size();
    Data.resize(at + n);
    std::memcpy(Data.data() + at, p, n);
}
size_t T3DSWriter::Begin(uint16_t id, uint32_t length)
{
    const size_t start = Data.size();
    Write3DSWord(id);
    Write3DSDWord(length);
    return start;
}
void T3DSWriter::Patch(size_t start)
{
    const uint32_t len = static_cast<uint32_t>(Data.size() - start);
    std::memcpy(Data.data() + start + 2, &len, 4);
}

void BuildMeshVertices(const TWorldData& world, uint32_t modelIndex, TMeshVertices& mesh)
{
    const model& m = world.Models[modelIndex];
    const size_t faces = std::min(m.Triangles.size(), static_cast<size_t>(std::max(m.TriangleCount, 0)));
    const size_t vertexTotal = std::min(static_cast<size_t>(world.VertexCount), world.Vertices.size());
    mesh.WorldIndex.clear();
    mesh.Positions.clear();
    mesh.TexCoords.clear();
    mesh.Faces.assign(faces * 3, 0);
    // Position of each world vertex in the local list (-1: not yet used); only touched entries are reset.
    if (mesh.Lookup.size() < vertexTotal)
        mesh.Lookup.resize(vertexTotal, -1);
    for (size_t t = 0; t < faces; ++t) {
        for (int k = 0; k < 3; ++k) {
            const uint32_t w = m.Triangles[t].VertexIndex[k];
            int32_t local = -1;
            if (w < vertexTotal) {
                local = mesh.Lookup[w];
                if (local < 0) {
                    local = static_cast<int32_t>(mesh.WorldIndex.size());
                    mesh.Lookup[w] = local;
                    mesh.WorldIndex.push_back(w);
                }
            } else {
                // Not a vertex of the world (cannot come from the loaders): a vertex at the origin of its own.
                local = static_cast<int32_t>(mesh.WorldIndex.size());
                mesh.WorldIndex.push_back(w);
            }
            mesh.Faces[t * 3 + static_cast<size_t>(k)] = static_cast<uint32_t>(local);
        }
    }
    mesh.Positions.resize(mesh.WorldIndex.size());
    mesh.TexCoords.resize(mesh.WorldIndex.size());
    for (size_t j = 0; j < mesh.WorldIndex.size(); ++j) {
        const uint32_t w = mesh.WorldIndex[j];
        mesh.Positions[j] = w < vertexTotal ? world.Vertices[w] : Vector3Make(0, 0, 0);
        if (w < vertexTotal)
            mesh.Lookup[w] = -1;
    }
    // The last corner that uses a vertex gives its texture coordinate.
    for (size_t t = 0; t < faces; ++t)
        for (int k = 0; k < 3; ++k)
            mesh.TexCoords[mesh.Faces[t * 3 + static_cast<size_t>(k)]] = m.Triangles[t].TexCoord[k];
}

int32_t TMeshVertices::IndexOfVertex(uint32_t worldIndex) const
{
    for (size_t j = 0; j < WorldIndex.size(); ++j)
        if (WorldIndex[j] == worldIndex)
            return static_cast<int32_t>(j);
    return -1;
}

namespace {

void PercentChunk(T3DSWriter& w, uint16_t id, uint16_t value)
{
    w.Begin(id, 14);
    w.Begin(0x0030, 8);
    w.Write3DSWord(value);
}

void ColourChunk(T3DSWriter& w, uint16_t id)
{
    w.Begin(id, 24);
    w.Begin(0x0011, 9);
    w.Write3DSRGB(0xFF, 0xFF, 0xFF);
    w.Begin(0x0012, 9);
    w.Write3DSRGB(0xFF, 0xFF, 0xFF);
}

std::string MaterialName(uint32_t i) { return "Material_" + PadWithZeros(std::to_string(i), 7); }

} // namespace

std::vector<std::string> TWorldData::Export3DS(const std::string& BaseName, const std::string& binFileName,
                                               const TFileIds& Inputs)
{
    T3DSWriter w;
    size_t estimate = 256;
    for (const model& m : Models)
        estimate += 400 + static_cast<size_t>(std::max(m.TriangleCount, 0)) * (3 * 20 + 8 + 2 + 4);
    w.Data.reserve(estimate);
    w.Legacy = UI.Option(OptionId::Legacy3DS) != 0;
    const uint32_t models = std::min(ModelCount, static_cast<uint32_t>(Models.size()));

    w.Begin(0x4D4D, 0);
    w.Begin(0x0002, 10);
    w.Write3DSDWord(3);
    w.Begin(0x3D3D, 0);
    w.Begin(0x3D3E, 10);
    w.Write3DSDWord(3);

    for (uint32_t i = 0; i < models; ++i) {
        const model& m = Models[i];
        const size_t mat = w.Begin(0xAFFF, 0);
        const std::string name = MaterialName(i);
        w.Begin(0xA000, static_cast<uint32_t>(7 + name.size()));
        w.Write3DSString(name);
        ColourChunk(w, 0xA010);
        ColourChunk(w, 0xA020);
        ColourChunk(w, 0xA030);
        for (uint16_t id : {0xA040, 0xA041, 0xA050, 0xA052, 0xA053})
            PercentChunk(w, id, 0);
        w.Begin(0xA100, 8);
        w.Write3DSWord(3);
        PercentChunk(w, 0xA084, 0);
        w.Begin(0xA087, 10);
        w.Write3DSFloat(1.0f);
        w.Begin(0xA08C, 6);
        // A model whose pack or slot does not exist has no texture: its material gets no texture map.
        uint32_t key = 0;
        if (TextureKeyOf(m, key)) {
            std::string map = TextureFileName(m, binFileName);
            if (w.Legacy && NameLength(map) > 12)
                map = IntToHex(key, 8) + ".TGA";
            const size_t tex = w.Begin(0xA200, 0);
            w.Begin(0x0030, 8);
            w.Write3DSWord(100);
            w.Begin(0xA300, static_cast<uint32_t>(7 + map.size()));
            w.Write3DSString(map);
            w.Begin(0xA351, 8);
            w.Write3DSWord(0);
            w.Patch(tex);
        }
        w.Patch(mat);
    }

    w.Begin(0x0100, 10);
    w.Write3DSFloat(1.0f);
    w.Begin(0x1400, 10);
    w.Write3DSFloat(1.0f);
    w.Begin(0x1420, 8);
    w.Write3DSWord(512);
    w.Begin(0x1450, 10);
    w.Write3DSFloat(3.0f);
    w.Begin(0x1460, 10);
    w.Write3DSFloat(1.0f);
    w.Begin(0x1500, 18);
    for (int k = 0; k < 3; ++k)
        w.Write3DSFloat(0.0f);
    w.Begin(0x2100, 42);
    w.Begin(0x0010, 18);
    for (int k = 0; k < 3; ++k)
        w.Write3DSFloat(0.3f);
    w.Begin(0x0013, 18);
    for (int k = 0; k < 3; ++k)
        w.Write3DSFloat(0.3f);

    TMeshVertices mesh;
    for (uint32_t i = 0; i < models; ++i) {
        BuildMeshVertices(*this, i, mesh);
        const size_t n = mesh.Positions.size();
        const size_t f = mesh.Faces.size() / 3;
        if (n > 0xFFFF || f > 0xFFFF) {
            // Counts and indices are 16-bit in this format.
            UI.AppendLine(MemoId::Memo3, "3DS: model " + std::to_string(i) + " has " + std::to_string(n) +
                                             " vertices and " + std::to_string(f) +
                                             " faces, more than 65535; not written.");
            continue;
        }
        const size_t obj = w.Begin(0x4000, 0);
        w.Write3DSName("O_" + IntToHex(i, 8), 10);
        const size_t tri = w.Begin(0x4100, 0);
        w.Begin(0x4110, static_cast<uint32_t>(8 + 12 * n));
        w.Write3DSWord(static_cast<uint16_t>(n));
        for (const Vector3& p : mesh.Positions) {
            w.Write3DSFloat(p.x);
            w.Write3DSFloat(p.z);
            w.Write3DSFloat(p.y);
        }
        w.Begin(0x4140, static_cast<uint32_t>(8 + 8 * n));
        w.Write3DSWord(static_cast<uint16_t>(n));
        for (const Vector2& uv : mesh.TexCoords) {
            w.Write3DSFloat(uv.u);
            w.Write3DSFloat(uv.v);
        }
        w.Begin(0x4160, 54);
        const float axes[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
        for (float a : axes)
            w.Write3DSFloat(a);
        w.Begin(0x4165, 7);
        w.Write3DSByte(0);
        const size_t faceChunk = w.Begin(0x4120, 0);
        w.Write3DSWord(static_cast<uint16_t>(f));
        for (size_t t = 0; t < f; ++t) {
            w.Write3DSWord(static_cast<uint16_t>(mesh.Faces[t * 3 + 2]));
            w.Write3DSWord(static_cast<uint16_t>(mesh.Faces[t * 3 + 1]));
            w.Write3DSWord(static_cast<uint16_t>(mesh.Faces[t * 3 + 0]));
            w.Write3DSWord(7);
        }
        const std::string name = MaterialName(i);
        w.Begin(0x4130, static_cast<uint32_t>(9 + name.size() + 2 * f));
        w.Write3DSString(name);
        w.Write3DSWord(static_cast<uint16_t>(f));
        for (size_t t = 0; t < f; ++t)
            w.Write3DSWord(static_cast<uint16_t>(t));
        w.Begin(0x4150, static_cast<uint32_t>(6 + 4 * f));
        for (size_t t = 0; t < f; ++t)
            w.Write3DSDWord(1);
        w.Patch(faceChunk);
        w.Patch(tri);
        w.Patch(obj);
    }

    const size_t kf = w.Begin(0xB000, 19);
    w.Begin(0xB00A, 13);
    w.Write3DSWord(5);
    w.Write3DSByte(0);
    w.Write3DSDWord(30);

    const uint32_t fileSize = static_cast<uint32_t>(w.Data.size());
    std::memcpy(w.Data.data() + 2, &fileSize, 4);
    const uint32_t mdata = static_cast<uint32_t>(kf - 16);
    std::memcpy(w.Data.data() + 18, &mdata, 4);

    const std::string path = NamedOutputPath(BaseName + ".3DS", binFileName);
    const bool written = WriteOutputFile(path, Inputs, [&](TFileStream& out) {
        out.WriteBuffer(w.Data.data(), static_cast<int64_t>(w.Data.size()));
    }, false);
    if (!written) {
        LogWouldReplace(UI, path);
        return {path};
    }
    return {};
}
