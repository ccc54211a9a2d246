// Actor meshes (bone records between the header and the vertices) and multi-block lists.
//
// Actor mesh: the 40 header bytes of a 3D object data block with code ActorCode, then u16 A1, u16 A2 and A2 bone
// records (u16 id, u16 value count n, 16 f32 matrix, u32 kind, n f32 values), then u32 has-normals, the
// vertices, the normals (when has-normals > 0), the UV table, model headers and faces; no colour section.
// Multi-block list (type 8): u32 unused, u32 count, 3 bytes skipped, count u32 keys of the part blocks.
#include <algorithm>
#include <vector>

#include "bin/Geometry.h"
#include "bin/TBinFile.h"
#include "models/FloatFormat.h"
#include "models/WorldData.h"
#include "platform/Frontend.h"
#include "platform/Paths.h"

namespace {

struct somethingblock {
    uint16_t Id = 0;
    uint16_t ValueCount = 0;
    uint32_t StB = 0;
    Matrix4 Matrix{};
    std::vector<float> Values;
};

uint16_t ReadU16(TBinFile& bin)
{
    uint8_t b[2] = {0, 0};
    bin.Stream.Read(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

void Trace(TBinFile& bin, const std::string& line) { bin.frontend().AppendLine(MemoId::Memo2, line); }

// A part lies at most this many lists deep (the nesting is a chain of recursive loads): the parts of a list
// that lies deeper are not entered.
constexpr size_t kMaxListDepth = 64;
// Parts cost from a budget of kPartFactor times the stream's size and kAllowance, so that a file may name a large
// mesh again many times. A byte of a part becomes at most 10 bytes of world data (an 8-byte model header an
// 80-byte model, a 16-byte face a 52-byte triangle, a 12-byte vertex 28 bytes with its normal and extra, a UV
// pair 8) and about 50 more in a 3DS export (400 bytes per model): the parts of a 1 MB file hold at most
// 170 MiB of world (twice that with the room the arrays keep to grow), under 1 GiB with that export.
constexpr int64_t kPartFactor = 16;
constexpr int64_t kAllowance = int64_t{1} << 20;
static_assert(sizeof(model) <= 10 * 8 && sizeof(triangle) <= 10 * 16);
// Each line a list load writes to the analyzer's log costs this much from the same budget (a line in the window
// takes about 100 bytes). A key takes 4 bytes of the file: the budget holds a line for every key of a list.
constexpr int64_t kLineCost = 4 * kPartFactor;
// The export of an inner list writes the world as it stands: it costs kExportCost and the mesh bytes loaded so
// far, from a budget of kExportFactor times the stream's size and kAllowance. A file of n inner lists, each naming
// an n-th of its bytes in meshes, needs about (n + 1) / 2 times its size.
constexpr int64_t kExportCost = 4096;
constexpr int64_t kExportFactor = 64;

// One load: a direct call and the parts of its lists. Its work is bounded by the bytes of the file:
//  - a list is not entered while it is being loaded (one that contains itself, directly or through other lists);
//    named again elsewhere it loads again, as a mesh named again does;
//  - parts lie at most kMaxListDepth lists deep;
//  - one part budget (above) is shared by every part of the load: a part entered (mesh or list) costs its 12
//    header bytes and its data bytes, a loaded mesh also the base name of each model it named, and each line
//    written to the log kLineCost. A file that names each block once loads whole; blocks named again load while
//    the budget lasts;
//  - the exports of inner lists cost from the export budget above; the list the load began with always exports.
// What these bounds skip is counted per reason, and each reason that occurred gets one line at the end.
struct TActorLoad {
    enum Reason { Cycle, Depth, Parts, Exports, Missing, ReasonCount };

    std::vector<int32_t> Chain; // block indexes of the lists being loaded, outermost first
    int64_t PartBudget = 0;
    uint64_t LinesPaid = 0; // TBinFile::LoaderLines when the lines were last paid for
    int64_t MeshBytes = 0; // data bytes of the meshes loaded
    int64_t ExportBudget = 0;
    uint64_t Skipped[ReasonCount] = {};

    bool InChain(int32_t index) const { return std::find(Chain.begin(), Chain.end(), index) != Chain.end(); }

    // Pays for the log lines written since the last payment.
    void PayLines(const TBinFile& bin)
    {
        PartBudget -= kLineCost * static_cast<int64_t>(bin.LoaderLines - LinesPaid);
        LinesPaid = bin.LoaderLines;
    }

    void LogSkipped(TBinFile& bin) const
    {
        auto count = [](uint64_t n, const char* what) {
            return std::to_string(n) + " " + what + (n == 1 ? "" : "s") + " skipped, ";
        };
        const std::string head = "! Multiblock list: ";
        if (Skipped[Cycle])
            geometry::Log(bin, head + count(Skipped[Cycle], "list") +
                                   "a list that contains itself is not entered again");
        if (Skipped[Depth])
            geometry::Log(bin, head + count(Skipped[Depth], "part") + "parts lie no more than " +
                                   std::to_string(kMaxListDepth) + " lists deep");
        if (Skipped[Parts])
            geometry::Log(bin, head + count(Skipped[Parts], "part") +
                                   "the file names its blocks again beyond what its size allows");
        if (Skipped[Exports])
            geometry::Log(bin, head + count(Skipped[Exports], "inner export") +
                                   "the exports' models would add up to more than " + std::to_string(kExportFactor) +
                                   " times the file's size");
        if (Skipped[Missing])
            geometry::Log(bin, head + std::to_string(Skipped[Missing]) + " missing key" +
                                   (Skipped[Missing] == 1 ? "" : "s") +
                                   " not logged, the file names missing blocks beyond what its size allows");
    }
};

void LoadActor(TBinFile& bin, int32_t Index, bool Quiet, const Matrix4& Matrix, bool Reset, TActorLoad& load);

void LoadActorMesh(TBinFile& bin, TGeometryLoad& g, const Matrix4& Matrix, bool Reset, TActorLoad& load)
{
    TWorldData& W = *bin.WorldData;
    const coffeeblock& B = bin.Blocks[static_cast<size_t>(g.Index)];
    const uint32_t temp2 = bin.ReadDWord();
    const uint16_t temp3 = ReadU16(bin);
    const uint16_t temp8 = ReadU16(bin);
    const uint32_t temp5 = bin.ReadDWord();
    g.VertexCount = bin.ReadDWord();
    bin.ReadDWord(); // not used
    const uint32_t hasColours = bin.ReadDWord();
    g.UVCount = bin.ReadDWord();
    g.ModelCount = bin.ReadDWord();
    const uint32_t code = bin.ReadDWord();
    if (code != ActorCode) {
        geometry::Log(bin, "Unexpected code for " + NameText(g.BaseName));
        return;
    }
    const uint16_t a1 = ReadU16(bin);
    const uint16_t a2 = ReadU16(bin);

    // The sections after the bone records need at least this much.
    const uint64_t minimum = 4 + uint64_t{g.VertexCount} * 12 + uint64_t{g.UVCount} * 8 + uint64_t{g.ModelCount} * 8;
    if (!geometry::Grow(bin, g, minimum))
        return;
    W.VertexExtra.resize(W.VertexCount); // nothing fills it: new entries are 0

    Trace(bin, "Filename      : " + NameText(B.Name));
    Trace(bin, "Vertices      : " + std::to_string(W.VertexCount));
    Trace(bin, "UVs           : " + std::to_string(W.UVCount));
    Trace(bin, "Models        : " + std::to_string(W.ModelCount));
    Trace(bin, "Tempvalues    : 2=" + IntToHex(temp2, 8) + " 3=" + IntToHex(temp3, 8) + " 5=" + IntToHex(temp5, 8) +
                   " 6=" + IntToHex(hasColours, 8) + " 7=" + IntToHex(code, 8) + " 8=" + IntToHex(temp8, 8));
    Trace(bin, "A1            : " + std::to_string(a1));
    Trace(bin, "A2            : " + std::to_string(a2));

    for (uint32_t i = 0; i < a2; ++i) {
        Trace(bin, "Block " + std::to_string(i));
        somethingblock bone;
        if (geometry::BlockRemaining(bin, g) < 72) {
            geometry::RollBack(bin, g);
            return;
        }
        bone.Id = ReadU16(bin);
        bone.ValueCount = ReadU16(bin);
        for (double& e : bone.Matrix)
            e = bin.ReadSingle();
        for (int line = 0; line < 4; ++line) {
            std::string text = "Matrix line " + std::to_string(line + 1) + " : ";
            for (int k = 0; k < 4; ++k) {
                if (k > 0)
                    text += ' ';
                text += FormatListingFloat(static_cast<float>(bone.Matrix[static_cast<size_t>(line * 4 + k)]));
            }
            Trace(bin, text);
        }
        bone.StB = bin.ReadDWord();
        if (bone.StB != 2 && bone.StB != 4 && bone.StB != 6)
            bin.frontend().ShowMessage("Contact the author! ActorStB=" + std::to_string(bone.StB));
        if (geometry::BlockRemaining(bin, g) < int64_t{4} * bone.ValueCount) {
            geometry::RollBack(bin, g);
            return;
        }
        bone.Values.resize(bone.ValueCount);
        for (uint32_t j = 0; j < bone.ValueCount; ++j) {
            bone.Values[j] = bin.ReadSingle();
            Trace(bin, "Value " + std::to_string(j) + " : " + FormatListingFloat(bone.Values[j]));
        }
    }

    Trace(bin, "Position : " + std::to_string(bin.Stream.Position() - B.Offset));
    const int32_t hasNormals = static_cast<int32_t>(bin.ReadDWord());
    const uint64_t vc = g.VertexCount;
    const uint64_t rest = vc * 12 + (hasNormals > 0 ? vc * 12 : 0) + uint64_t{g.UVCount} * 8 + uint64_t{g.ModelCount} * 8;
    const int64_t remaining = geometry::BlockRemaining(bin, g);
    if (remaining < 0 || rest > static_cast<uint64_t>(remaining)) {
        geometry::RollBack(bin, g);
        return;
    }
    geometry::ReadVertices(bin, g, Matrix);
    Trace(bin, "Position : " + std::to_string(bin.Stream.Position() - B.Offset));
    if (hasNormals > 0)
        bin.Stream.Seek(static_cast<int64_t>(vc * 12), SeekOrigin::Current);

    if (!geometry::ReadUVsModelsFaces(bin, g))
        return;
    // Each named model repeats the base name: those bytes cost from the part budget, and count into the mesh bytes
    // that the inner exports pay for, like the block's own bytes.
    int64_t names = 0;
    if (!g.BaseName.empty())
        for (uint32_t i = g.ModelBase; i < W.ModelCount; ++i)
            names += W.Models[i].TriangleCount > 0 ? static_cast<int64_t>(g.BaseName.size()) : 0;
    load.PartBudget -= names;
    load.MeshBytes += bin.Held(g.Index) + names;
    geometry::Finish(bin);
    if (Reset) {
        geometry::CompletePending(bin);
        W.ExportModel(g.BaseName, g.ExportKey, bin.FileName, bin.Inputs);
    }
    W.Loaded = true;
}

void LoadList(TBinFile& bin, const TGeometryLoad& g, const Matrix4& Matrix, TActorLoad& load)
{
    bin.ReadDWord(); // not used
    uint32_t count = bin.ReadDWord();
    bin.Stream.Seek(3, SeekOrigin::Current);
    // No more keys than the block holds.
    const int64_t room = std::max<int64_t>(geometry::BlockRemaining(bin, g), 0) / 4;
    if (count > room)
        count = static_cast<uint32_t>(room);
    std::vector<uint32_t> keys(count);
    for (uint32_t& k : keys)
        k = bin.ReadDWord();

    load.Chain.push_back(g.Index);
    // The parts leave the world's derived data to be made once, before the export: a list of many parts costs
    // their bytes, not the world's size for each.
    const geometry::TDeferDerived defer(bin, true);
    for (uint32_t key : keys) {
        const int32_t part = bin.FindKey(key);
        if (part == -1) {
            load.PayLines(bin);
            if (kLineCost > load.PartBudget)
                ++load.Skipped[TActorLoad::Missing];
            else
                geometry::Log(bin, "Multiblock error?");
            continue;
        }
        if (load.InChain(part)) {
            ++load.Skipped[TActorLoad::Cycle];
            continue;
        }
        if (load.Chain.size() > kMaxListDepth) {
            ++load.Skipped[TActorLoad::Depth];
            continue;
        }
        const int64_t cost = 12 + int64_t{bin.Held(part)};
        if (cost > load.PartBudget) {
            ++load.Skipped[TActorLoad::Parts];
            continue;
        }
        load.PartBudget -= cost;
        LoadActor(bin, part, true, Matrix, false, load);
        load.PayLines(bin);
    }
    load.Chain.pop_back();
    // Inner lists export while their budget lasts; the list the load began with always does.
    if (!load.Chain.empty()) {
        const int64_t cost = kExportCost + load.MeshBytes;
        if (cost > load.ExportBudget) {
            ++load.Skipped[TActorLoad::Exports];
            return;
        }
        load.ExportBudget -= cost;
    }
    geometry::CompletePending(bin);
    bin.WorldData->ExportModel(g.BaseName, g.ExportKey, bin.FileName, bin.Inputs);
}

void LoadActor(TBinFile& bin, int32_t Index, bool Quiet, const Matrix4& Matrix, bool Reset, TActorLoad& load)
{
    bin.frontend().ClearMemo(MemoId::Memo2);
    TGeometryLoad g;
    if (!geometry::Prologue(bin, Index, Quiet, Reset, g))
        return;
    const coffeeblock& B = bin.Blocks[static_cast<size_t>(Index)];
    bin.Stream.SetPosition(B.Offset);
    bin.ReadDWord(); // size
    bin.ReadDWord(); // marker
    bin.WorldData->BlockKey = bin.ReadDWord();
    const uint32_t type = bin.ReadDWord();
    if (type == 1)
        LoadActorMesh(bin, g, Matrix, Reset, load);
    else if (type == 8)
        LoadList(bin, g, Matrix, load);
    else
        bin.frontend().ShowMessage("Contact the author! " + WholeNameText(B.Name) + " multiple datablocks?");
}

} // namespace

void TBinFile::LoadActorGeometry(int32_t Index, bool Quiet, Matrix4 Matrix, bool Reset)
{
    if (!WorldData)
        return;
    TActorLoad load;
    load.PartBudget = kPartFactor * Stream.Size() + kAllowance;
    load.LinesPaid = LoaderLines;
    load.ExportBudget = kExportFactor * Stream.Size() + kAllowance;
    LoadActor(*this, Index, Quiet, Matrix, Reset, load);
    load.LogSkipped(*this);
}
