// The analyzer's action on one block: geometry loads, Game Object resolution, texture pack and world block
// listings, texture export.
#include "bin/BlockAnalysis.h"

#include <algorithm>
#include <climits>

#include "bin/Geometry.h"
#include "bin/TBinFile.h"
#include "models/FloatFormat.h"
#include "models/WorldData.h"
#include "platform/Frontend.h"
#include "platform/Paths.h"

Matrix4 IdentityMatrix()
{
    Matrix4 m;
    MatrixIdentity(m);
    return m;
}

bool ResolveGameObject(TBinFile& bin, int32_t index, TGameObject& go)
{
    go = TGameObject{};
    go.Version = bin.GetDWord(index, 4);
    bin.Version = go.Version;
    go.NameLength = bin.GetDWord(index, 16);
    go.Name = Win1252ToUtf8(bin.GameObjectName(index));
    if (index < 0 || index >= bin.Count || static_cast<size_t>(index) >= bin.Blocks.size())
        return false;
    const int64_t size = bin.Blocks[static_cast<size_t>(index)].Size;
    // Positions are formed in 64 bits: a huge L or e cannot wrap round into the block.
    const int64_t L = go.NameLength;
    if (size <= L + 150)
        return false;
    auto dword = [&](int64_t pos) {
        return pos < 0 || pos > INT32_MAX ? 0u : bin.GetDWord(index, static_cast<int32_t>(pos));
    };
    for (int k = 0; k < 16; ++k)
        go.Matrix[static_cast<size_t>(k)] =
            30 + L + 4 * k > INT32_MAX ? 0.0 : bin.GetSingle(index, static_cast<int32_t>(30 + L + 4 * k));
    go.Entry = dword(94 + L);
    go.GeoKey = dword(146 + L);
    go.PackKey = dword(150 + L);
    if (bin.FindKey(go.GeoKey) == -1) {
        const int64_t entry = 98 + L + 12 * int64_t{go.Entry};
        go.GeoKey = dword(entry);
        go.PackKey = dword(entry + 4);
    }
    if (bin.FindKey(go.GeoKey) == -1) {
        // Byte scan of the positions 98 + L .. Size - 5: the first u32 that is some block's key wins, else the
        // key is the u32 at the last position. Only the positions before the bytes the stream holds are
        // visited: every later one reads 0, so the first of them is found when 0 is a key, and none otherwise.
        const int64_t first = 98 + L;
        const int64_t end = size - 4;
        const int64_t visitEnd = std::min(end, std::max<int64_t>(first, bin.Held(index)));
        bool found = false;
        for (int64_t r = first; r < visitEnd && !found; ++r) {
            const uint32_t key = dword(r);
            if (bin.FindKey(key) != -1) {
                go.GeoKey = key;
                go.PackKey = dword(r + 4);
                found = true;
            }
        }
        if (!found && visitEnd < end && bin.FindKey(0) != -1) {
            go.GeoKey = 0;
            go.PackKey = dword(visitEnd + 4);
            found = true;
        }
        if (!found)
            go.GeoKey = dword(end - 1);
    }
    go.GeoIndex = bin.FindKey(go.GeoKey);
    if (go.GeoIndex != -1)
        bin.Blocks[static_cast<size_t>(go.GeoIndex)].Name = go.Name;
    return true;
}

namespace {

void Listing(TBinFile& bin, const std::string& line) { bin.frontend().AppendLine(MemoId::Memo2, line); }

// "Matrix line 1 : " to "Matrix line 4 : ", each with four of the sixteen values in the listing number format.
template <typename Value>
void MatrixLines(TBinFile& bin, Value&& value)
{
    for (int line = 0; line < 4; ++line) {
        std::string text = "Matrix line " + std::to_string(line + 1) + " : ";
        for (int k = 0; k < 4; ++k) {
            if (k > 0)
                text += ' ';
            text += FormatListingFloat(value(line * 4 + k));
        }
        Listing(bin, text);
    }
}

} // namespace

void ListTexturePack(TBinFile& bin, int32_t i, bool clear)
{
    if (clear)
        bin.frontend().ClearMemo(MemoId::Memo2);
    Listing(bin, "[" + KeyText(bin.Blocks[static_cast<size_t>(i)].Key) + "] - Texture pack");
    const uint32_t n = bin.GetDWord(i, 8);
    Listing(bin, "# textures : " + std::to_string(n));
    // Slots beyond the block's end read 00000000. A hostile count is listed up to a fixed number of lines, the
    // slots past the bytes the file holds up to what is left of the command's share, and the rest is summed up
    // in one line. The lines go to the text box in one piece.
    const uint32_t limit = std::min(n, kMaxSlotLines);
    const uint32_t held = bin.Held(i) > 12 ? (bin.Held(i) - 12 + 3) / 4 : 0; // slots with a byte in the file
    const uint32_t stored = std::min(limit, held);
    const uint32_t past = std::min(limit - stored, bin.PastEndSlotLines);
    bin.PastEndSlotLines -= past;
    std::vector<std::string> lines;
    lines.reserve(stored + past);
    for (uint32_t s = 0; s < stored + past; ++s)
        lines.push_back("[" + std::to_string(s) + "] : " +
                        (s < stored ? KeyText(bin.GetDWord(i, static_cast<int32_t>(12 + 4 * s))) : "00000000"));
    bin.frontend().AppendLines(MemoId::Memo2, lines);
    if (stored + past < n)
        Listing(bin, "... " + std::to_string(n - stored - past) + " more slots not listed");
}

void ListWorldBlock(TBinFile& bin, int32_t i, bool clear)
{
    if (clear)
        bin.frontend().ClearMemo(MemoId::Memo2);
    Listing(bin, "[" + std::to_string(i) + "] - .wow");
    Listing(bin, "Name : " + Win1252ToUtf8(bin.WorldName(i)));
    Listing(bin, "First block : " + KeyText(bin.GetTag(i, 72)));
    MatrixLines(bin, [&](int e) { return bin.GetSingle(i, 76 + 4 * e); });
    Listing(bin, "Sixvalue : " + std::to_string(bin.GetDWord(i, 140)));
    Listing(bin, "Thefloat : " + FormatListingFloat(bin.GetSingle(i, 144)));
    Listing(bin, "Zero 1 : " + std::to_string(bin.GetDWord(i, 148)));
    Listing(bin, "Zero 2 : " + std::to_string(bin.GetDWord(i, 152)));
    for (int k = 0; k < 5; ++k)
        Listing(bin, "Ident " + std::to_string(k + 1) + " : " + KeyText(bin.GetTag(i, 156 + 4 * k)));
}

void InspectBlock(TBinFile& bin, int32_t i)
{
    Listing(bin, "");
    switch (bin.GetTag(i, 0)) {
    case TagGeometry:
        Listing(bin, "3D DATA");
        break;
    case TagTexturePack:
        ListTexturePack(bin, i, false);
        break;
    case TagWow:
        ListWorldBlock(bin, i, false);
        break;
    case TagGameObject: {
        TGameObject go;
        if (!ResolveGameObject(bin, i, go)) {
            bin.frontend().AppendLine(MemoId::Memo3, "No useful data.");
            break;
        }
        Listing(bin, "[" + KeyText(bin.Blocks[static_cast<size_t>(i)].Key) + "] - GAO");
        Listing(bin, "Model name : " + go.Name);
        Listing(bin, "Version    : " + std::to_string(static_cast<int32_t>(go.Version)));
        Listing(bin, "3D Data    : " + KeyText(go.GeoKey));
        Listing(bin, "Texture    : " + KeyText(go.PackKey));
        MatrixLines(bin, [&](int e) { return static_cast<float>(go.Matrix[static_cast<size_t>(e)]); });
        break;
    }
    default:
        Listing(bin, "[" + KeyText(bin.Blocks[static_cast<size_t>(i)].Key) + "] - UNKNOWN");
        break;
    }
}

void TBinFile::AnalyzeBlock(int32_t index, bool Quiet)
{
    if (index < 0 || index >= Count || static_cast<size_t>(index) >= Blocks.size())
        return;
    const bool reset = frontend().Option(OptionId::ClearPrevious) != 0;
    switch (GetTag(index, 0)) {
    case TagGeometry:
        LoadGeometry(index, Quiet, IdentityMatrix(), reset);
        return;
    case TagTexturePack:
        ListTexturePack(*this, index, true);
        return;
    case TagGameObject: {
        TGameObject go;
        if (!ResolveGameObject(*this, index, go)) {
            frontend().AppendLine(MemoId::Memo3, "No useful data.");
            return;
        }
        if (WorldData)
            WorldData->CurrentPack = WorldData->FindTexturePack(go.PackKey);
        LoadGeometry(go.GeoIndex, Quiet, go.Matrix, reset);
        return;
    }
    case TagWow:
        ListWorldBlock(*this, index, true);
        return;
    default:
        if (IsTextureData(index))
            ExportTexture(index);
        return;
    }
}

void TBinFile::ExtractAllObjects()
{
    // The world's derived data are made before each export and once at the end, not after every object: many
    // objects placed into one world cost their own bytes, not the world's size for each.
    const geometry::TDeferDerived defer(*this, true);
    for (int32_t i = 0; i < Count; ++i)
        if (GetTag(i, 0) == TagGameObject)
            AnalyzeBlock(i, true);
}
