// The analyzer's road on one bin file (expanded or compressed), in a private folder: "Analyze" (the load with its
// texture-pack build and the block list), then the commands the command byte selects.
//
// Input: option byte, command byte, then the bin file.
// Option bits: 0 "Load textures" (into a texture service that only counts), 1 "Write 3D models", 2 3DS instead of
// OBJ, 3 "Clear previous", 4 "Legacy 3DS", 5 "Export legacy ready texes", 6 "Triangles", 7 "normals".
// Command bits: 0 "Textures", 1 "View/Extract" of every block, 2 "Extract data" of every block, 3 "Objects",
// 4 "Test actors" on every Game Object, 5 "Inspect" of every block, 6 "Analyze" again, 7 export of the world
// as the display page writes it.
#include "FuzzSupport.h"
#include "bin/BlockAnalysis.h"
#include "bin/TBinFile.h"
#include "models/WorldData.h"
#include "platform/Frontend.h"
#include "platform/GLTextures.h"
#include "platform/Stream.h"

namespace {

// Texture names for every image handed over; nothing is decoded.
class CountingTextures : public GLTextures {
public:
    uint32_t TextureFromStream(TMemoryStream& stream, bool, bool) override { return stream.Size() > 0 ? ++last_ : 0; }
    void DeleteTexture(uint32_t) override {}

private:
    uint32_t last_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t options = data[0], commands = data[1];
    fuzz::WorkFolder folder;
    const std::string path = (folder.Path() / "level.bin").string();
    fuzz::WriteFile(path, std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2));

    MemoryFrontend ui;
    const OptionId flags[8] = {OptionId::LoadTextures, OptionId::WriteOBJ,          OptionId::ModelFormat,
                               OptionId::ClearPrevious, OptionId::Legacy3DS, OptionId::Legacy3DSTextures,
                               OptionId::Triangles,     OptionId::Normals};
    for (int b = 0; b < 8; ++b)
        ui.options[flags[b]] = (options >> b) & 1;
    CountingTextures textures;
    TWorldData world(ui, &textures);
    TBinFile bin(ui);
    bin.WorldData = &world;
    bin.OnLoaded = [&] { bin.LoadTextures(); };

    auto analyze = [&] {
        world.Loaded = false;
        world.Clear();
        bool ok = false;
        if (!fuzz::Command([&] { ok = bin.LoadFromFile(path); }) || !ok)
            return false;
        TListLines lines;
        bin.FillList(lines);
        return true;
    };
    auto everyBlock = [&](auto&& command) {
        for (int32_t i = 0; i < bin.Count; ++i)
            fuzz::Command([&] { command(i); });
    };

    if (!analyze())
        return 0;
    if (commands & 1)
        fuzz::Command([&] { bin.ExtractAllTextures(); });
    if (commands & 2)
        everyBlock([&](int32_t i) { bin.AnalyzeBlock(i, false); });
    if (commands & 4)
        everyBlock([&](int32_t i) { bin.ExtractBlock(i); });
    if (commands & 8)
        fuzz::Command([&] { bin.ExtractAllObjects(); });
    if (commands & 16)
        everyBlock([&](int32_t i) {
            if (bin.GetTag(i, 0) != TagGameObject)
                return;
            TGameObject go;
            if (!ResolveGameObject(bin, i, go))
                return;
            world.CurrentPack = world.FindTexturePack(go.PackKey);
            bin.LoadActorGeometry(bin.FindKey(go.GeoKey), false, go.Matrix, true);
        });
    if (commands & 32)
        everyBlock([&](int32_t i) { InspectBlock(bin, i); });
    if ((commands & 64) && !analyze())
        return 0;
    if (commands & 128)
        fuzz::Command([&] { world.ExportModel("world", 0, path, bin.Inputs); });
    return 0;
}
