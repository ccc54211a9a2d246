// The settings store's text format: parsing, formatting (what is saved must read back exactly:
// format(parse(format(parse(x)))) == format(parse(x))) and the look-ups the program makes when it reads a file
// at start-up.
#include "FuzzSupport.h"
#include "platform/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string root = RootKeyName(TRootKey::CurrentUser);
    TRegistryData first;
    first.Parse(text, root);
    const std::string saved = first.Format(root);
    TRegistryData second;
    second.Parse(saved, root);
    FUZZ_CHECK(second.Format(root) == saved, "a saved settings file does not read back as it was saved");

    // The file read by the registry class: keys opened from the root, their values and sub-keys read.
    fuzz::WorkFolder folder;
    const auto file = folder.Path() / "settings.reg";
    fuzz::WriteFile(file, text);
    fuzz::Command([&] {
        TRegistry reg(TRootKey::CurrentUser, file);
        // Up to 64 keys, breadth first; the last 8 of them are read.
        std::vector<std::string> paths{""};
        for (size_t i = 0; i < paths.size() && paths.size() <= 64; ++i)
            for (const auto& name : first.SubKeyNames(paths[i]))
                if (paths.size() <= 64)
                    paths.push_back(paths[i].empty() ? name : paths[i] + "\\" + name);
        paths.erase(paths.begin());
        for (size_t k = 0; k < paths.size() && k < 8; ++k) {
            if (!reg.OpenKeyReadOnly("\\" + paths[paths.size() - 1 - k]))
                continue;
            reg.HasSubKeys();
            reg.GetKeyNames();
            const auto names = reg.GetValueNames();
            for (size_t v = 0; v < names.size() && v < 16; ++v)
                fuzz::Command([&, name = names[v]] {
                    switch (reg.GetDataType(name).value_or(0)) {
                    case 4: reg.ReadInteger(name); break;
                    case 1: reg.ReadString(name); break;
                    default: reg.ReadBinaryData(name); break;
                    }
                });
        }
    });
    return 0;
}
