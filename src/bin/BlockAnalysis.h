// Game Object blocks (".gao") and their resolution to a 3D object data block and a texture pack.
//
// Game Object data (L = name length with its zero byte): 0 tag, 4 u32 version, 16 u32 L, 20 name, 30 + L 16 f32
// placement matrix (column-major), 94 + L u32 entry number e, 98 + L 12-byte key entries (3D data key, pack
// key, ...), 146 + L u32 3D object data key, 150 + L u32 texture pack key.
#pragma once

#include <cstdint>
#include <string>

#include "display/matrices.h"

class TBinFile;

struct TGameObject {
    std::string Name;     // the stored name before its first zero byte, decoded from Windows-1252
    uint32_t Version = 0;
    uint32_t NameLength = 0; // L
    Matrix4 Matrix{};
    uint32_t Entry = 0;   // e
    uint32_t GeoKey = 0;  // key of the 3D object data block (after the fallbacks)
    uint32_t PackKey = 0; // key of the texture pack
    int32_t GeoIndex = -1; // block of GeoKey, -1 when none
};

// Resolves Game Object block `index`: BinFile.Version takes its version; the 3D object data key falls back to key
// entry e, then to the first u32 from 98 + L to Size - 5 that is some block's key (pack key 4 bytes after it), or
// when none is, to the u32 at Size - 5; the block found takes the object's name. False when the block is too
// short to hold its keys (nothing but the version is then set).
bool ResolveGameObject(TBinFile& bin, int32_t index, TGameObject& go);

// Listings into the unpacker page's text box, emptied first when `clear` is set: a texture pack block (key,
// slot count, slot keys) and a world block (index, name, first block, matrix, values, five idents).
void ListTexturePack(TBinFile& bin, int32_t index, bool clear);
void ListWorldBlock(TBinFile& bin, int32_t index, bool clear);
// The report of "Inspect" on one block, appended to the unpacker page's text box after an empty line: "3D DATA",
// a texture pack or world block listing, a Game Object's resolution, or the key and "UNKNOWN".
void InspectBlock(TBinFile& bin, int32_t index);

// The identity placement.
Matrix4 IdentityMatrix();
