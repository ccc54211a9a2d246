// Pieces shared by the fuzz targets: findings, a private working folder per input, commands run the way the
// window runs them, and inputs that carry several files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "support/TempDir.h"

namespace fuzz {

// Reports a finding on stderr and aborts.
[[noreturn]] void Fail(const std::string& what);

#define FUZZ_CHECK(condition, what)                                                                                 \
    do {                                                                                                            \
        if (!(condition))                                                                                           \
            ::fuzz::Fail(what);                                                                                     \
    } while (0)

// A fresh folder under $TMPDIR, the current directory while the object lives; afterwards removed with all that
// was written into it, and the previous current directory is restored.
class WorkFolder {
public:
    WorkFolder();
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const std::filesystem::path& Path() const { return dir_.path(); }

private:
    TempDir dir_;
    std::filesystem::path previous_;
};

void WriteFile(const std::filesystem::path& path, std::string_view bytes);
// The whole file; nothing when it cannot be read.
std::optional<std::string> ReadFile(const std::filesystem::path& path);

// Runs one command the way the window does: an exception ends it (the window shows it in an error box) and the
// result is false. An allocation failure that escapes is a finding: the command tried to take far more memory
// than its input justifies.
template <typename F>
bool Command(F&& body)
{
    try {
        body();
        return true;
    } catch (const std::bad_alloc&) {
        Fail("std::bad_alloc escaped from a command");
    } catch (const std::exception&) {
        return false;
    }
}

// Input of several files: the first file's bytes, then for every further file "\n##file " NAME "\n" and its
// bytes. Names are single path components (other characters than '/' and NUL kept, at most 64 bytes); files
// without a usable name, or named like an earlier one, are dropped.
constexpr std::string_view kFileSeparator = "\n##file ";
struct NamedFile {
    std::string name;
    std::string_view data;
};
std::vector<NamedFile> SplitFiles(std::string_view input, const std::string& firstName);

} // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
