#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace fuzz {

void Fail(const std::string& what)
{
    std::fprintf(stderr, "==FINDING== %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

WorkFolder::WorkFolder()
{
    std::error_code ec;
    previous_ = fs::current_path(ec);
    fs::current_path(dir_.path());
}

WorkFolder::~WorkFolder()
{
    std::error_code ec;
    fs::current_path(previous_, ec);
}

void WriteFile(const fs::path& path, std::string_view bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f)
        Fail("cannot write " + path.string());
}

std::optional<std::string> ReadFile(const fs::path& path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::vector<NamedFile> SplitFiles(std::string_view input, const std::string& firstName)
{
    std::vector<NamedFile> files;
    size_t at = input.find(kFileSeparator);
    files.push_back({firstName, input.substr(0, at)});
    while (at != std::string_view::npos) {
        const size_t nameStart = at + kFileSeparator.size();
        const size_t eol = input.find('\n', nameStart);
        const std::string_view name =
            input.substr(nameStart, eol == std::string_view::npos ? std::string_view::npos : eol - nameStart);
        const size_t dataStart = eol == std::string_view::npos ? input.size() : eol + 1;
        at = input.find(kFileSeparator, dataStart);
        const std::string_view data =
            input.substr(dataStart, at == std::string_view::npos ? std::string_view::npos : at - dataStart);
        const bool usable = !name.empty() && name.size() <= 64 && name != "." && name != ".." &&
                            name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
        bool seen = false;
        for (const NamedFile& f : files)
            seen = seen || f.name == name;
        if (usable && !seen)
            files.push_back({std::string(name), data});
    }
    return files;
}

} // namespace fuzz
