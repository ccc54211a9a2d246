// The bin container: an expanded bin file held in memory and its table of keyed blocks.
//
// Expanded bin file: blocks back to back, each a 12-byte header (Size, Marker, Key; u32 little-endian)
// followed by Size data bytes whose first four bytes, read big-endian, are the block tag. The block keyed
// TerminatorKey ends the file.
//
// Blocks do not copy their bytes: a block's data is read from `Stream` at Offset + 12. Data bytes that lie
// beyond the end of the stream (a last block cut short) read as 0.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "display/matrices.h"
#include "platform/OutputFile.h"
#include "platform/Stream.h"

class Frontend;
class TWorldData;

constexpr uint32_t BlockMarker = 0xEEFFC099;
constexpr uint32_t TerminatorKey = 0x0FF7C0DE;
constexpr uint32_t TextureSign = 0xC0DEC0DE;

// Block tags (first four data bytes, big-endian).
constexpr uint32_t TagGeometry = 0x01000000;
// Slot lines of one texture-pack listing at most; a larger count ends with one line for the slots not listed.
constexpr uint32_t kMaxSlotLines = 65536;
constexpr uint32_t TagTexturePack = 0x04000000;
constexpr uint32_t TagTextureInfo = 0x05000000;
constexpr uint32_t TagGameObject = 0x2E67616F; // ".gao"
constexpr uint32_t TagWol = 0x2E776F6C;        // ".wol"
constexpr uint32_t TagWow = 0x2E776F77;        // ".wow"
constexpr uint32_t TagPalette = 0x343D0113;
constexpr uint32_t TagTerminator = 0xDEC0F70F;
constexpr uint32_t TagWolHeader = 0xFEC77C05;

struct coffeeblock {
    uint32_t Size = 0;   // data bytes, header not counted
    uint32_t Marker = 0; // BlockMarker in a well-formed block
    uint32_t Key = 0;
    int32_t Offset = 0;  // position of the 12-byte header in Stream
    // Readable data bytes: Size, or 0 for an entry whose header was found at the very end of the stream.
    uint32_t DataCount = 0;
    // Set by the analysis and the geometry loaders; a file-system name: a Game Object's name decoded from
    // Windows-1252 where it is read, or one made from the bin file's path.
    std::string Name;

    int64_t DataOffset() const { return static_cast<int64_t>(Offset) + 12; }
};

// The lines of the block list: one text buffer with line starts (a million lines stay compact).
class TListLines {
public:
    void Clear()
    {
        text_.clear();
        starts_.clear();
    }
    void Add(std::string_view line)
    {
        starts_.push_back(text_.size());
        text_.append(line);
    }
    void Reserve(size_t lines, size_t bytes)
    {
        starts_.reserve(lines);
        text_.reserve(bytes);
    }
    int Count() const { return static_cast<int>(starts_.size()); }
    std::string_view Line(int i) const
    {
        const size_t b = starts_[static_cast<size_t>(i)];
        const size_t e = static_cast<size_t>(i) + 1 < starts_.size() ? starts_[static_cast<size_t>(i) + 1] : text_.size();
        return std::string_view(text_).substr(b, e - b);
    }

private:
    std::string text_;
    std::vector<size_t> starts_;
};

class TBinFile {
public:
    explicit TBinFile(Frontend& frontend);

    TMemoryStream Stream;            // the whole expanded bin file (empty when nothing is loaded)
    std::vector<coffeeblock> Blocks; // one element per block, in file order
    uint32_t Version = 0;            // version of the last Game Object analysed
    // Lines that texture-pack listings may still give to slots past the bytes their blocks hold (they all read
    // 00000000), shared by the listings of one command: a page resets it before each command.
    uint32_t PastEndSlotLines = kMaxSlotLines;
    std::string FileName;            // path given to the last load
    // The file the content was read from (compressed or not); the outputs named after it never replace it.
    TFileIds Inputs;
    std::string FileType;            // type name of block 0
    int32_t Count = 0;               // == Blocks.size()

    // Runs at the end of every successful load, before the terminator check (the texture-pack build).
    std::function<void()> OnLoaded;

    void Clear();
    // Replaces the content with the named bin file, expanded or compressed. False when it is no bin file
    // (the container is then empty); a compressed file whose expansion fails logs where it stopped. Errors of
    // the stream layer and allocation failures propagate, leaving the container empty.
    bool LoadFromFile(const std::string& fileName);

    // Four bytes little-endian at Stream's position; missing bytes read as 0. Advance the position.
    uint32_t ReadDWord();
    float ReadSingle();

    // Bounds-checked reads of block data; a read outside the block's readable bytes gives 0 / "".
    uint32_t GetDWord(int32_t index, int32_t pos) const;
    float GetSingle(int32_t index, int32_t pos) const;
    uint16_t GetWord(int32_t index, int32_t pos) const;
    uint32_t GetTag(int32_t index, int32_t pos) const; // big-endian
    // The n + 1 bytes from pos, zero bytes included; "" when they do not fit or n < 0.
    std::string GetString(int32_t index, int32_t pos, int32_t n) const;
    // Like GetString, cut before the first zero byte (without building the whole n + 1 bytes).
    std::string GetText(int32_t index, int32_t pos, int32_t n) const;
    // Copies `count` readable bytes from pos; false (dest untouched) when they do not fit.
    bool GetBytes(int32_t index, int64_t pos, void* dest, int64_t count) const;
    // Number of readable data bytes of a block (0 outside the table).
    uint32_t Readable(int32_t index) const;
    // Readable data bytes that the stream really holds (the rest of a block cut short by the end reads 0).
    uint32_t Held(int32_t index) const;

    int32_t FindKey(uint32_t key) const;
    int32_t FindKeyFrom(uint32_t key, int32_t start) const;

    std::string BlockTypeName(int32_t index) const;
    // Name of a ".wow" block: the 61 bytes at 12, cut before the first zero; "" when they hold none.
    std::string WorldName(int32_t index) const;
    // Name of a ".gao" block: the bytes at 20 before the first zero, within its stored length (Windows-1252).
    std::string GameObjectName(int32_t index) const;
    // One line per block: key (offset) - type name[ - game object name].
    void FillList(TListLines& list) const;
    std::string ListLine(int32_t index) const;

    // Writes block `index` as stored to its own file: its header, then the data bytes the stream holds. A path
    // that names one of Inputs is skipped with a line in the analyzer's log.
    void ExtractBlock(int32_t index);
    // Path that ExtractBlock writes to (after naming a Game Object block).
    std::string ExtractPath(int32_t index);

    Frontend& frontend() { return frontend_; }

    // ---- 3D object data and block analysis (Geometry.cpp, GeometryActor.cpp, BlockAnalysis.cpp)
    TWorldData* WorldData = nullptr; // the world that the geometry loaders fill
    // While set, loads leave the world's texture coordinates, normals and bounds pending (see geometry::Finish).
    bool DeferDerived = false;
    // Lines the geometry loaders have written to the analyzer's log (a list load pays for those of its parts).
    uint64_t LoaderLines = 0;
    // Loads 3D object data block Index into the world placed by Matrix; Reset replaces the world.
    void LoadGeometry(int32_t Index, bool Quiet, Matrix4 Matrix, bool Reset);
    // The actor layout (bone records) and multi-block lists; traces into the unpacker page's text box.
    void LoadActorGeometry(int32_t Index, bool Quiet, Matrix4 Matrix, bool Reset);
    // The analyzer's action on one block ("View/Extract").
    void AnalyzeBlock(int32_t index, bool Quiet);
    // AnalyzeBlock, quietly, for every Game Object block ("Objects").
    void ExtractAllObjects();

    // ---- Texture blocks (src/textures/TextureBlocks.cpp). LoadTextures rebuilds the texture packs of
    // WorldData; the world's GLTextures, when set, makes the OpenGL textures.
    // Key of the texture data block that texture information block `index` names; 0 for none.
    uint32_t TextureDataKey(int32_t index);
    // Writes texture data block `index` as a TGA file (named by "Export legacy ready texes").
    void ExportTexture(int32_t index);
    // ExportTexture of every texture data block, in block order.
    void ExtractAllTextures();
    // Rebuilds the world's texture packs from the loaded blocks; uploads with "Load textures".
    void LoadTextures();
    // Makes the OpenGL texture of texture data block `index` into slot `slot` of pack `pack`.
    void UploadTexture(int32_t index, int32_t pack, int32_t slot);
    // Texture data block: TextureSign at data offset 32 and more than 60 data bytes.
    bool IsTextureData(int32_t index) const;

private:
    // Table of the first block index per key (open addressing).
    void IndexAdd(uint32_t key, int32_t index);
    void IndexRebuild() const;
    // An empty index with room for `keys` keys (at least twice as many slots); blocks must be re-added.
    void IndexReserve(size_t keys);
    void ReleaseAll();
    bool HeaderHasMarker();
    void WalkBlocks();

    Frontend& frontend_;
    mutable std::vector<uint64_t> keyIndex_; // (key << 32) | (index + 1); 0 = empty slot
    mutable size_t indexed_ = 0;             // blocks covered by the index
    mutable size_t indexUsed_ = 0;
};

// 8 upper-case hexadecimal digits.
std::string KeyText(uint32_t key);
