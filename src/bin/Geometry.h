// Shared steps of the two geometry loaders of TBinFile (plain and actor layouts of 3D object data blocks).
//
// 3D object data block (after the 12-byte block header, little-endian):
//   0 u32 type (1 mesh, 8 multi-block list), 4 u32 temp2, 8 u16 temp3, 10 u16 temp8, 12 u32 temp5,
//   16 u32 vertex count, 20 u32 (unused), 24 u32 has-colours, 28 u32 UV count, 32 u32 model count, 36 u32 code,
//   then (plain layout) 40 u32 has-normals and the sections: vertices (3 f32), normals (3 f32, when flagged),
//   colours (u32, when flagged), UV pairs (2 f32), model headers (u32 face count, u32 texture slot), and the
//   faces of every model with faces: 3 u16 vertex indices, 3 u16 UV indices, u32 extra.
#pragma once

#include <cstdint>
#include <string>

#include "display/matrices.h"

class TBinFile;
class TWorldData;

constexpr uint32_t ActorCode = 0xC0DE2002;

// Deletes every NUL character of s.
void StripNulls(std::string& s);

// Names longer than any file name (a Game Object may name a block with all its bytes) are cut to this many
// bytes where they are repeated: in model names and in messages. The folder of the bin file, which a name made
// from its path begins with, is not counted: it may be as long as any path.
constexpr size_t kMaxNameBytes = 1024;
// The name's first `keep` + kMaxNameBytes bytes at most, without a UTF-8 character cut in two.
std::string CutName(std::string name, size_t keep = 0);

// A block or model name as display text: kept when valid UTF-8; a file-system name in another encoding has its
// bytes shown as Windows-1252.
std::string WholeNameText(const std::string& stored);
// The same, a name longer than kMaxNameBytes cut and ending in "...".
std::string NameText(const std::string& stored);

// What one load keeps between its steps.
struct TGeometryLoad {
    int32_t Index = -1;
    uint32_t VertexBase = 0;
    uint32_t UVBase = 0;
    uint32_t ModelBase = 0;
    std::string BaseName;   // prefix of model names and base of export file names (file-system text)
    uint32_t ExportKey = 0; // identifier handed to the export
    // Counts of this block.
    uint32_t VertexCount = 0;
    uint32_t UVCount = 0;
    uint32_t ModelCount = 0;
};

namespace geometry {

// Index test, reset or bases, naming and the "B_" test. False: the load stops here.
bool Prologue(TBinFile& bin, int32_t Index, bool Quiet, bool Reset, TGeometryLoad& g);
// Grows the world by the block's counts (new elements zero) once the block is known to hold `bytesNeeded`
// more bytes from the stream's position. False (with the failure line, nothing changed) when it does not.
bool Grow(TBinFile& bin, TGeometryLoad& g, uint64_t bytesNeeded);
// Reads the block's vertices placed by the matrix.
void ReadVertices(TBinFile& bin, const TGeometryLoad& g, const Matrix4& M);
// UV table, model headers and faces with their checks. False: rolled back (the failure line is written).
bool ReadUVsModelsFaces(TBinFile& bin, const TGeometryLoad& g);
// Restores the world's counts to the bases and writes the failure line.
void RollBack(TBinFile& bin, const TGeometryLoad& g);
// Texture coordinates, normals and bounds of the whole world.
void Complete(TBinFile& bin);
// The end of a successful load: Complete, or while the bin file defers them, the derived data marked pending.
// Each Complete covers the whole world, so one after many loads leaves what one after each would have.
void Finish(TBinFile& bin);
// Complete when loads left it pending (before an export, and at the end of a deferring run).
void CompletePending(TBinFile& bin);

// Defers the derived data of the loads made during its lifetime and makes them at its end.
class TDeferDerived {
public:
    TDeferDerived(TBinFile& bin, bool defer);
    ~TDeferDerived();

private:
    TBinFile& bin_;
    bool was_;
};
// Appends a line to the analyzer's log.
void Log(TBinFile& bin, const std::string& line);
// Bytes of the block being loaded that the stream holds from its position on: counts and sizes are checked
// against them, so a load reads and grows no further than its own block.
int64_t BlockRemaining(TBinFile& bin, const TGeometryLoad& g);

} // namespace geometry
