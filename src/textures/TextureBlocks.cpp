// Texture blocks of a bin file: texture packs (tag 04 00 00 00), texture information (05 00 00 00), palettes
// and texture data blocks (TextureSign at data offset 32), exported as TGA files or uploaded into the world's
// texture packs.
//
// Texture data header (data offsets): 36 header type (1, 3, 4 or 0x20000), 40 pixel format; types 1, 3, 4:
// width at 44 and height at 48 (u32); type 0x20000: width at 48 and height at 50 (u16); palette key at 56 for
// pixel format 1 (not for type 4). Pixels: format 0 at 56 (32 bits), 1 at 60 (palette indices), 5 at 60
// (DXT1), 7 at 56 (DXT5), 101 and 102 at 54 (32 and 24 bits).
#include <algorithm>
#include <memory>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "bin/TBinFile.h"
#include "models/WorldData.h"
#include "platform/Frontend.h"
#include "platform/GLTextures.h"
#include "platform/Paths.h"
#include "textures/DDS.h"
#include "textures/TgaWriter.h"

namespace {

constexpr uint32_t kHeaderType20000 = 0x20000;

struct TextureHeader {
    uint32_t Type = 0;
    int32_t Format = 0;
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint32_t PaletteKey = 0;
};

// Stream position of the pixel data of a format: the block's data offset plus the format's own offset.
int64_t PixelPosition(const coffeeblock& b, int32_t format)
{
    switch (format) {
    case 0:
    case 7: return b.DataOffset() + 56;
    case 1:
    case 5: return b.DataOffset() + 60;
    default: return b.DataOffset() + 54;
    }
}

int BitsPerPixel(int32_t format)
{
    switch (format) {
    case 1: return 8;
    case 5:
    case 102: return 24;
    default: return 32;
    }
}

// Sizes the writers and buffers can take: each side fits the 16-bit TGA fields, and the bytes a signed
// 32-bit count (the palette path also builds 32-bit pixels).
bool SizeFits(const TextureHeader& h)
{
    if (h.Width > 0xFFFF || h.Height > 0xFFFF)
        return false;
    try {
        TgaPixelBytes(h.Width, h.Height, 32);
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

// Bytes of pixel data a texture needs from its pixel start (DXT in whole 4 x 4 blocks), saturated.
uint64_t PixelDataBytes(const TextureHeader& h)
{
    using Wide = unsigned __int128;
    Wide n;
    switch (h.Format) {
    case 5: n = Wide((h.Width + 3ull) / 4) * ((h.Height + 3ull) / 4) * 8; break;
    case 7: n = Wide((h.Width + 3ull) / 4) * ((h.Height + 3ull) / 4) * 16; break;
    default: n = Wide(h.Width) * h.Height * (BitsPerPixel(h.Format) / 8); break;
    }
    return n > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(n);
}

std::string TooLarge(const TextureHeader& h, const coffeeblock& b)
{
    return "! Texture too large " + std::to_string(h.Width) + "x" + std::to_string(h.Height) + " at " +
           std::to_string(b.Offset);
}

} // namespace

bool TBinFile::IsTextureData(int32_t index) const
{
    return index >= 0 && index < Count && GetDWord(index, 32) == TextureSign && Blocks[index].Size > 60;
}

uint32_t TBinFile::TextureDataKey(int32_t index)
{
    const uint32_t version = GetDWord(index, 4);
    switch (version) {
    case 0: return 0;
    case 4:
    case 5:
    case 6: return GetDWord(index, 44);
    case 7: return GetDWord(index, 46);
    case 8: return GetDWord(index, 54);
    case 9: return GetDWord(index, 67);
    default:
        if (version < 100) {
            const int32_t offset = index >= 0 && index < Count ? Blocks[index].Offset : 0;
            frontend_.ShowMessage("Please contact the author with the following information : " + FileName + "/TD/" +
                                  std::to_string(offset) + "/" + std::to_string(version));
        }
        return 0;
    }
}

namespace {

// Reads the header by its type. False for an unknown type (after its message).
bool ReadHeader(TBinFile& bin, int32_t index, bool allowType4, TextureHeader& h)
{
    const coffeeblock& b = bin.Blocks[index];
    h.Type = bin.GetDWord(index, 36);
    h.Format = static_cast<int32_t>(bin.GetDWord(index, 40));
    switch (h.Type) {
    case 1:
    case 3:
    case 4:
        if (h.Type == 4 && !allowType4)
            break;
        h.Width = bin.GetDWord(index, 44);
        h.Height = bin.GetDWord(index, 48);
        if (h.Format == 1 && h.Type != 4)
            h.PaletteKey = bin.GetDWord(index, 56);
        return true;
    case kHeaderType20000:
        h.Width = bin.GetWord(index, 48);
        h.Height = bin.GetWord(index, 50);
        if (h.Format == 1)
            h.PaletteKey = bin.GetDWord(index, 56);
        // The stored format is corrected from the block size; without a width or height it stands.
        if (h.Width != 0 && h.Height != 0 && b.Size >= 54) {
            const uint32_t bytesPerPixel = ((b.Size - 54) / h.Width) / h.Height;
            if (bytesPerPixel == 3)
                h.Format = 102;
            else if (bytesPerPixel == 4)
                h.Format = 101;
        }
        return true;
    default: break;
    }
    bin.frontend().ShowMessage("!!!! UNKNOWN TYPE " + std::to_string(h.Type) + " AT " + std::to_string(b.Offset));
    return false;
}

bool KnownFormat(int32_t f) { return f == 0 || f == 1 || f == 5 || f == 7 || f == 101 || f == 102; }

void UnknownFormat(TBinFile& bin, const TextureHeader& h, const coffeeblock& b)
{
    bin.frontend().ShowMessage("! Unknown texture type " + std::to_string(h.Format) + " at " + std::to_string(b.Offset));
}

// Reads the header of a texture block and checks that its pixels can be handled; otherwise the reason is
// shown (unknown format, too large) or logged (pixel data that the file does not hold: the bytes after a block
// are taken as its pixels, but never bytes past the end of the file) and the result is false.
bool ReadUsableHeader(TBinFile& bin, int32_t index, bool allowType4, TextureHeader& h)
{
    if (!ReadHeader(bin, index, allowType4, h))
        return false;
    const coffeeblock& b = bin.Blocks[index];
    if (!KnownFormat(h.Format)) {
        UnknownFormat(bin, h, b);
        return false;
    }
    const int64_t held = std::max<int64_t>(0, bin.Stream.Size() - PixelPosition(b, h.Format));
    if (PixelDataBytes(h) > static_cast<uint64_t>(held)) {
        bin.frontend().AppendLine(MemoId::Memo3,
                                  "! Texture data past the end of the file at " + std::to_string(b.Offset));
        return false;
    }
    if (!SizeFits(h)) {
        bin.frontend().ShowMessage(TooLarge(h, b));
        return false;
    }
    return true;
}

TPalette PaletteOf(const TBinFile& bin, int32_t paletteIndex)
{
    TPalette colours{};
    for (int i = 0; i < 256; ++i)
        colours[i] = bin.GetDWord(paletteIndex, 4 + 4 * i);
    return colours;
}

// DXT pixels decoded into a bottom-up buffer held in a memory stream.
TMemoryStream DecodeDxt(TBinFile& bin, const coffeeblock& b, const TextureHeader& h)
{
    const int w = static_cast<int>(h.Width), ht = static_cast<int>(h.Height);
    const int bpp = h.Format == 5 ? 3 : 4;
    std::vector<uint8_t> buffer(static_cast<size_t>(w) * static_cast<size_t>(ht) * bpp);
    bin.Stream.Seek(PixelPosition(b, h.Format), SeekOrigin::Begin);
    if (h.Format == 5)
        DecodeDXT1(bin.Stream, buffer, ht, w, 3);
    else
        DecodeDXT5(bin.Stream, buffer, ht, w, 4);
    return TMemoryStream(std::move(buffer));
}

// The OpenGL texture of texture data block `index` (the block has been checked), 0 when none was made.
uint32_t MakeTexture(TBinFile& bin, int32_t index, const TextureHeader& h, GLTextures& gl)
{
    const coffeeblock& b = bin.Blocks[index];
    const int w = static_cast<int>(h.Width), ht = static_cast<int>(h.Height);
    uint32_t texture = 0;
    try {
        switch (h.Format) {
        case 1: {
            const int32_t p = bin.FindKey(h.PaletteKey);
            TPalette colours{};
            if (p > 0)
                colours = PaletteOf(bin, p);
            else
                for (uint32_t i = 0; i < 256; ++i)
                    colours[i] = i * 0x01010101u;
            MakeTextureFromPalettedPixels(gl, bin.Stream, w, ht, colours, PixelPosition(b, 1), texture);
            break;
        }
        case 5:
        case 7: {
            // The decoded pixels are released once the image is built from them.
            std::vector<uint8_t> image;
            {
                TMemoryStream pixels = DecodeDxt(bin, b, h);
                image = BuildTGA(pixels, w, ht, static_cast<uint8_t>(BitsPerPixel(h.Format)), 0, false);
            }
            TMemoryStream stream(std::move(image));
            texture = gl.TextureFromStream(stream, true, true);
            break;
        }
        default:
            MakeTextureFromPixels(gl, bin.Stream, w, ht, static_cast<uint8_t>(BitsPerPixel(h.Format)),
                                  PixelPosition(b, h.Format), false, texture);
        }
    } catch (const std::bad_alloc&) {
        bin.frontend().ShowMessage(TooLarge(h, b));
        return 0;
    }
    return texture;
}

// One run of uploads and texture data keys (one texture-pack build). Each texture data block is made into a
// texture once and every slot that names it shares that texture; each information block's texture data key
// is read (and its message shown) once; the next block with the same key comes from a table built once.
class TextureRun {
public:
    explicit TextureRun(TBinFile& bin) : bin_(bin) {}

    uint32_t DataKey(int32_t index)
    {
        const auto [it, fresh] = keys_.try_emplace(index, 0);
        if (fresh)
            it->second = bin_.TextureDataKey(index);
        return it->second;
    }

    // Slot `slot` of pack `pack` gets the texture of block `index`; a block that is no texture data stands for
    // the next block with the same key.
    void Upload(int32_t index, int32_t pack, int32_t slot)
    {
        TWorldData* world = bin_.WorldData;
        if (index <= 0 || index >= bin_.Count || !world || pack < 0 || pack >= world->PackCount ||
            static_cast<size_t>(pack) >= world->Packs.size())
            return;
        texturepack& target = world->Packs[static_cast<size_t>(pack)];
        if (slot < 0 || slot >= target.Count)
            return;
        uint32_t& id = static_cast<size_t>(slot) < target.TexIds.size() ? target.TexIds[static_cast<size_t>(slot)]
                                                                         : target.RestTexId;
        if (!bin_.IsTextureData(index)) {
            index = Next(index);
            if (index < 0 || !bin_.IsTextureData(index))
                return;
        }
        const auto [it, fresh] = made_.try_emplace(index, 0);
        if (fresh) {
            TextureHeader h;
            if (ReadUsableHeader(bin_, index, false, h) && world->Textures)
                it->second = MakeTexture(bin_, index, h, *world->Textures);
        }
        if (it->second != 0)
            id = it->second;
    }

private:
    int32_t Next(int32_t index)
    {
        if (next_.empty()) {
            next_.assign(static_cast<size_t>(bin_.Count), -1);
            std::unordered_map<uint32_t, int32_t> later;
            for (int32_t i = bin_.Count - 1; i >= 0; --i) {
                const auto [it, fresh] = later.try_emplace(bin_.Blocks[i].Key, i);
                if (!fresh) {
                    next_[static_cast<size_t>(i)] = it->second;
                    it->second = i;
                }
            }
        }
        return next_[static_cast<size_t>(index)];
    }

    TBinFile& bin_;
    std::unordered_map<int32_t, uint32_t> keys_;
    std::unordered_map<int32_t, uint32_t> made_;
    std::vector<int32_t> next_;
};

} // namespace

void TBinFile::ExportTexture(int32_t index)
{
    if (index < 0 || index >= Count)
        return;
    const coffeeblock b = Blocks[index];
    const std::string key = KeyText(b.Key);
    const std::string name = frontend_.Option(OptionId::Legacy3DSTextures) != 0
                                 ? key + ".TGA"
                                 : ChangeFileExt(FileName, "_" + key + ".TGA");
    TextureHeader h;
    if (!ReadUsableHeader(*this, index, true, h))
        return;
    const int w = static_cast<int>(h.Width), ht = static_cast<int>(h.Height);
    bool written = true;
    try {
        switch (h.Format) {
        case 1: {
            const int32_t p = FindKey(h.PaletteKey);
            if (h.Type != 4 && p > 0)
                written = WritePalettedTGA(name, Stream, w, ht, PaletteOf(*this, p), PixelPosition(b, 1), Inputs);
            else
                written = WriteTGA(name, Stream, w, ht, 8, PixelPosition(b, 1), false, Inputs);
            break;
        }
        case 5:
        case 7: {
            TMemoryStream pixels = DecodeDxt(*this, b, h);
            written = WriteTGA(name, pixels, w, ht, static_cast<uint8_t>(BitsPerPixel(h.Format)), 0, false, Inputs);
            break;
        }
        default:
            written = WriteTGA(name, Stream, w, ht, static_cast<uint8_t>(BitsPerPixel(h.Format)),
                               PixelPosition(b, h.Format), false, Inputs);
        }
    } catch (const std::bad_alloc&) {
        frontend_.ShowMessage(TooLarge(h, b));
    }
    if (!written)
        LogWouldReplace(frontend_, name);
}

void TBinFile::ExtractAllTextures()
{
    for (int32_t i = 0; i < Count; ++i)
        if (IsTextureData(i))
            ExportTexture(i);
}

void TBinFile::UploadTexture(int32_t index, int32_t pack, int32_t slot)
{
    TextureRun(*this).Upload(index, pack, slot);
}

void TBinFile::LoadTextures()
{
    if (!WorldData)
        return;
    TWorldData& world = *WorldData;
    world.FreeTextures();
    int64_t total = 0;
    frontend_.AppendLine(MemoId::Memo3, "Loading textures...");
    world.PackCount = 0;
    world.Packs.clear();
    const bool upload = frontend_.Option(OptionId::LoadTextures) != 0;
    TextureRun run(*this);

    // Pass 1: texture pack blocks with a count from 1 to the number of blocks.
    std::unordered_set<uint32_t> named; // every key a taken pack lists
    named.reserve(static_cast<size_t>(Count));
    for (int32_t i = 0; i < Count; ++i) {
        if (Readable(i) < 12 || GetTag(i, 0) != TagTexturePack || GetDWord(i, 4) != 0)
            continue;
        const int32_t n = static_cast<int32_t>(GetDWord(i, 8));
        if (n <= 0 || n > Count)
            continue;
        total += n;
        // Entries past the bytes the file holds for the block all read key 0: they get one shared slot (the
        // pack's rest) instead of room each, and are resolved once.
        const int32_t stored = static_cast<int32_t>(std::min<int64_t>(n, (std::max<int64_t>(Held(i), 12) - 12) / 4));
        texturepack pack;
        pack.Key = Blocks[i].Key;
        pack.Count = n;
        pack.Keys.assign(static_cast<size_t>(stored), 0);
        pack.TexIds.assign(static_cast<size_t>(stored), 0);
        world.Packs.push_back(std::move(pack));
        world.PackCount = static_cast<int32_t>(world.Packs.size());
        for (int32_t j = 0; j < n; ++j) {
            uint32_t key = GetDWord(i, 12 + 4 * j);
            named.insert(key);
            int32_t k = FindKey(key);
            if (k >= 0) {
                key = run.DataKey(k);
                k = FindKey(key);
            }
            if (j < stored)
                world.Packs.back().Keys[j] = key;
            else
                world.Packs.back().RestKey = key;
            if (upload && k > 0)
                run.Upload(k, world.PackCount - 1, j);
            if (j >= stored)
                break;
        }
    }

    // Pass 2: texture information blocks that no taken pack lists get a two-slot pack of their own.
    for (int32_t i = 0; i < Count; ++i) {
        if (GetTag(i, 0) != TagTextureInfo || named.count(Blocks[i].Key) != 0)
            continue;
        total += 1;
        texturepack pack;
        pack.Key = Blocks[i].Key;
        pack.Count = 2;
        pack.Keys.assign(2, 0);
        pack.TexIds.assign(2, 0);
        pack.Keys[0] = run.DataKey(i);
        world.Packs.push_back(std::move(pack));
        world.PackCount = static_cast<int32_t>(world.Packs.size());
        if (upload)
            run.Upload(FindKey(world.Packs.back().Keys[0]), world.PackCount - 1, 0);
        texturepack& added = world.Packs.back();
        added.Keys[1] = added.Keys[0];
        added.TexIds[1] = added.TexIds[0];
    }
    frontend_.AppendLine(MemoId::Memo3, std::to_string(total) + " textures loaded.");
}
