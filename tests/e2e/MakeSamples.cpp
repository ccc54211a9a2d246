// Writes the sample input files into the folder named on the command line.
#include <cstdio>
#include <filesystem>

#include "e2e/Samples.h"
#include "platform/Paths.h"
#include "support/TempDir.h"
#include <algorithm>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2 && !(argc == 3 && std::string(argv[2]) == "hostile")) {
        std::fprintf(stderr, "usage: %s FOLDER [hostile]\n", argv[0]);
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    if (argc == 3) {
        WriteHostileSamples(argv[1]);
        return 0;
    }
    WriteSamples(argv[1]);
    // The stored files as they should come out, under expected/.
    const std::filesystem::path expected = std::filesystem::path(argv[1]) / "expected";
    for (const ArchiveFile& f : SampleArchiveFiles()) {
        std::string name = f.name;
        std::replace(name.begin(), name.end(), '\\', '/');
        const std::filesystem::path out = expected / Win1252ToUtf8(name);
        std::filesystem::create_directories(out.parent_path());
        WriteFileBytes(out.string(), f.data);
    }
    return 0;
}
