// Plain 3D object data blocks into the world data.
#include "bin/Geometry.h"

#include <algorithm>
#include <limits>

#include "bin/TBinFile.h"
#include "models/WorldData.h"
#include "platform/Frontend.h"
#include "platform/Paths.h"

void StripNulls(std::string& s)
{
    s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());
}

std::string CutName(std::string name, size_t keep)
{
    if (name.size() - std::min(keep, name.size()) <= kMaxNameBytes)
        return name;
    return Utf8Prefix(name, keep + kMaxNameBytes);
}

std::string NameText(const std::string& stored)
{
    if (stored.size() > kMaxNameBytes)
        return WholeNameText(CutName(stored)) + "...";
    return WholeNameText(stored);
}

std::string WholeNameText(const std::string& bytes)
{
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (len == 0 || i + len > n)
            return Win1252ToUtf8(bytes);
        for (size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return Win1252ToUtf8(bytes);
        i += len;
    }
    return bytes;
}

namespace {

uint16_t ReadU16(TBinFile& bin)
{
    uint8_t b[2] = {0, 0};
    bin.Stream.Read(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint16_t U16At(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

} // namespace

namespace geometry {

void Log(TBinFile& bin, const std::string& line)
{
    ++bin.LoaderLines;
    bin.frontend().AppendLine(MemoId::Memo3, line);
}

int64_t BlockRemaining(TBinFile& bin, const TGeometryLoad& g)
{
    const int64_t end = bin.Blocks[static_cast<size_t>(g.Index)].DataOffset() + bin.Held(g.Index);
    return end - bin.Stream.Position();
}

bool Prologue(TBinFile& bin, int32_t Index, bool Quiet, bool Reset, TGeometryLoad& g)
{
    TWorldData& W = *bin.WorldData;
    if (Index < 0 || Index > bin.Count - 1 || static_cast<size_t>(Index) >= bin.Blocks.size()) {
        if (!Quiet)
            Log(bin, "No data.");
        return false;
    }
    g.Index = Index;
    if (Reset) {
        W.Clear();
        g.VertexBase = g.UVBase = g.ModelBase = 0;
    } else {
        g.VertexBase = W.VertexCount;
        g.UVBase = W.UVCount;
        g.ModelBase = W.ModelCount;
    }
    coffeeblock& B = bin.Blocks[static_cast<size_t>(Index)];
    if (B.Name.empty()) {
        B.Name = bin.FileName + "_" + KeyText(B.Key);
        g.BaseName.clear();
        g.ExportKey = 0;
    } else {
        StripNulls(B.Name);
        g.BaseName.clear();
        if (B.Name.find('.') != std::string::npos)
            g.BaseName = DropLastChars(B.Name, 4);
        g.ExportKey = B.Key;
    }
    // Every model of the block carries the base name: one that no file could have is cut, but never inside the
    // folder of the bin file, where a name made from its path lies.
    const std::string folder = ExtractFilePath(bin.FileName);
    const bool inFolder = g.BaseName.compare(0, folder.size(), folder) == 0;
    g.BaseName = CutName(std::move(g.BaseName), inFolder ? folder.size() : 0);
    if (g.BaseName.rfind("B_", 0) == 0) {
        Log(bin, "Mesh/Bone?" + NameText(g.BaseName));
        return false;
    }
    return true;
}

bool Grow(TBinFile& bin, TGeometryLoad& g, uint64_t bytesNeeded)
{
    TWorldData& W = *bin.WorldData;
    const int64_t remaining = BlockRemaining(bin, g);
    const uint64_t vertices = uint64_t{W.VertexCount} + g.VertexCount;
    const uint64_t uvs = uint64_t{W.UVCount} + g.UVCount;
    const uint64_t models = uint64_t{W.ModelCount} + g.ModelCount;
    constexpr uint64_t kMax = std::numeric_limits<uint32_t>::max();
    // Counts that the rest of the block cannot hold are refused before anything is allocated.
    if (remaining < 0 || bytesNeeded > static_cast<uint64_t>(remaining) || vertices > kMax || uvs > kMax ||
        models > kMax) {
        Log(bin, "Something went wrong for " + NameText(g.BaseName));
        return false;
    }
    // Elements beyond the counts (left by a rolled-back load) are dropped so that new ones start zero.
    W.Vertices.resize(W.VertexCount);
    W.Vertices.resize(vertices);
    W.Normals.resize(W.VertexCount);
    W.Normals.resize(vertices);
    W.UVs.resize(W.UVCount);
    W.UVs.resize(uvs);
    W.Models.resize(W.ModelCount);
    W.Models.resize(models);
    W.VertexCount = static_cast<uint32_t>(vertices);
    W.UVCount = static_cast<uint32_t>(uvs);
    W.ModelCount = static_cast<uint32_t>(models);
    return true;
}

void ReadVertices(TBinFile& bin, const TGeometryLoad& g, const Matrix4& M)
{
    TWorldData& W = *bin.WorldData;
    for (uint32_t i = 0; i < g.VertexCount; ++i) {
        Vector3 p;
        p.x = bin.ReadSingle();
        p.y = bin.ReadSingle();
        p.z = bin.ReadSingle();
        Vector3 r;
        MatrixRotateVector(M, p, r);
        W.Vertices[g.VertexBase + i] = Vector3Make(static_cast<float>(r.x + M[12]), static_cast<float>(r.y + M[13]),
                                                   static_cast<float>(r.z + M[14]));
    }
}

void RollBack(TBinFile& bin, const TGeometryLoad& g)
{
    TWorldData& W = *bin.WorldData;
    W.VertexCount = g.VertexBase;
    W.UVCount = g.UVBase;
    W.ModelCount = g.ModelBase;
    Log(bin, "Something went wrong for " + NameText(g.BaseName));
}

bool ReadUVsModelsFaces(TBinFile& bin, const TGeometryLoad& g)
{
    TWorldData& W = *bin.WorldData;
    for (uint32_t j = 0; j < g.UVCount; ++j) {
        Vector2& uv = W.UVs[g.UVBase + j];
        uv.u = bin.ReadSingle();
        uv.v = bin.ReadSingle();
    }

    // Faces follow all model headers; their total must fit in what the block still holds.
    const int64_t afterHeaders = BlockRemaining(bin, g) - int64_t{8} * g.ModelCount;
    uint64_t faceBytes = 0;
    const texturepack* pack = nullptr;
    if (W.CurrentPack >= 0 && W.CurrentPack < W.PackCount && static_cast<size_t>(W.CurrentPack) < W.Packs.size())
        pack = &W.Packs[static_cast<size_t>(W.CurrentPack)];
    for (uint32_t k = 0; k < g.ModelCount; ++k) {
        const uint32_t i = g.ModelBase + k;
        model& m = W.Models[i];
        const uint32_t faces = bin.ReadDWord();
        faceBytes += uint64_t{faces} * 16;
        if (afterHeaders < 0 || faceBytes > static_cast<uint64_t>(afterHeaders)) {
            RollBack(bin, g);
            return false;
        }
        m.TriangleCount = static_cast<int32_t>(faces);
        m.Triangles.assign(faces, triangle{});
        int32_t slot = static_cast<int32_t>(bin.ReadDWord());
        if (!pack) {
            // No pack to check against (no packs were built): the model has no texture; slot 0.
            slot = 0;
        } else if (slot < 0 || slot >= pack->Count) {
            Log(bin, "Texture out of bounds! Setting to 0 for model " + std::to_string(i) + " " + NameText(g.BaseName));
            slot = 0;
        }
        m.TexSlot = slot;
    }

    for (uint32_t k = 0; k < g.ModelCount; ++k) {
        const uint32_t i = g.ModelBase + k;
        model& m = W.Models[i];
        if (m.TriangleCount <= 0)
            continue;
        m.Name = g.BaseName + std::to_string(i);
        m.HasUV = g.UVCount > 0;
        m.Pack = W.CurrentPack;
        for (triangle& t : m.Triangles) {
            uint8_t rec[16] = {};
            bin.Stream.Read(rec, 16);
            for (int c = 0; c < 3; ++c) {
                t.VertexIndex[c] = uint32_t{U16At(rec + 2 * c)} + g.VertexBase;
                t.UVIndex[c] = uint32_t{U16At(rec + 6 + 2 * c)} + g.UVBase;
            }
            t.Extra = static_cast<uint32_t>(rec[12] | (rec[13] << 8) | (rec[14] << 16)) |
                      (static_cast<uint32_t>(rec[15]) << 24);
            for (int c = 0; c < 3; ++c)
                if (t.VertexIndex[c] >= W.VertexCount) {
                    RollBack(bin, g);
                    return false;
                }
        }
    }
    return true;
}

void Complete(TBinFile& bin)
{
    TWorldData& W = *bin.WorldData;
    W.ResolveUVs();
    W.ComputeNormals();
    W.UpdateBounds();
    W.DerivedPending = false;
}

void Finish(TBinFile& bin)
{
    if (bin.DeferDerived)
        bin.WorldData->DerivedPending = true;
    else
        Complete(bin);
}

void CompletePending(TBinFile& bin)
{
    if (bin.WorldData && bin.WorldData->DerivedPending)
        Complete(bin);
}

TDeferDerived::TDeferDerived(TBinFile& bin, bool defer) : bin_(bin), was_(bin.DeferDerived)
{
    bin_.DeferDerived = was_ || defer;
}

TDeferDerived::~TDeferDerived()
{
    bin_.DeferDerived = was_;
    if (!was_)
        CompletePending(bin_);
}

} // namespace geometry

void TBinFile::LoadGeometry(int32_t Index, bool Quiet, Matrix4 Matrix, bool Reset)
{
    if (!WorldData)
        return;
    TGeometryLoad g;
    if (!geometry::Prologue(*this, Index, Quiet, Reset, g))
        return;
    TWorldData& W = *WorldData;
    const coffeeblock& B = Blocks[static_cast<size_t>(Index)];

    Stream.SetPosition(B.Offset);
    ReadDWord(); // size
    ReadDWord(); // marker
    W.BlockKey = ReadDWord();
    if (ReadDWord() != 1) {
        geometry::Log(*this, "Unknown data");
        return;
    }
    const uint32_t temp2 = ReadDWord();
    const uint16_t temp3 = ReadU16(*this);
    if (temp3 == 1009 || temp3 == 1008)
        geometry::Log(*this, "Possible Actor Mesh/Bone.");
    ReadU16(*this); // temp8
    const uint32_t temp5 = ReadDWord();
    g.VertexCount = ReadDWord();
    ReadDWord(); // not used
    const uint32_t hasColours = ReadDWord();
    g.UVCount = ReadDWord();
    g.ModelCount = ReadDWord();
    const uint32_t code = ReadDWord();
    if (code == ActorCode) {
        geometry::Log(*this, "Switching to actor extraction mode!");
        geometry::Log(*this, "All previous 3D data will NOT be exported!");
        LoadActorGeometry(Index, Quiet, Matrix, true);
        return;
    }
    const uint32_t hasNormals = ReadDWord();

    // Normals and colours of the older stride: the colour section is taken as absent.
    const bool strideFix = hasNormals == 1 && hasColours == 1 && temp2 == 7 && temp3 == 11 && temp5 == 4;
    const uint64_t vc = g.VertexCount;
    const uint64_t need = vc * 12 + (hasNormals == 1 ? vc * 12 : 0) + (hasColours == 1 && !strideFix ? vc * 4 : 0) +
                          uint64_t{g.UVCount} * 8 + uint64_t{g.ModelCount} * 8;
    if (!geometry::Grow(*this, g, need))
        return;

    geometry::ReadVertices(*this, g, Matrix);
    if (hasNormals == 1)
        Stream.Seek(static_cast<int64_t>(vc * 12), SeekOrigin::Current);
    if (strideFix) {
        geometry::Log(*this, "I'm an ugly fix! Warn the author if something goes wrong! " + NameText(g.BaseName));
        Stream.Seek(-static_cast<int64_t>(vc * 4), SeekOrigin::Current);
    }
    if (hasColours == 1)
        Stream.Seek(static_cast<int64_t>(vc * 4), SeekOrigin::Current);

    if (!geometry::ReadUVsModelsFaces(*this, g))
        return;
    geometry::Finish(*this);
    if (frontend().Option(OptionId::WriteOBJ)) {
        geometry::CompletePending(*this);
        W.ExportModel(g.BaseName, g.ExportKey, FileName, Inputs);
    }
    W.Loaded = true;
}
