#include "platform/OutputFile.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Frontend.h"

namespace fs = std::filesystem;

void TFileIds::Add(const fs::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        ids_.emplace_back(st.st_dev, st.st_ino);
}

void TFileIds::Add(const TFileStream& file)
{
    struct stat st {};
    if (file.Handle() >= 0 && ::fstat(file.Handle(), &st) == 0)
        ids_.emplace_back(st.st_dev, st.st_ino);
}

bool TFileIds::Holds(uint64_t device, uint64_t inode) const
{
    for (const TFileIds* s = this; s; s = s->more_)
        for (const auto& id : s->ids_)
            if (id.first == device && id.second == inode)
                return true;
    return false;
}

bool TFileIds::Contains(const fs::path& path) const
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && Holds(st.st_dev, st.st_ino);
}

std::unique_ptr<TFileStream> CreateOutputFile(const fs::path& path, const TFileIds& keep, bool makeFolders)
{
    int error = 0;
    // Most outputs are new files: one exclusive create, nothing else.
    if (auto file = TFileStream::TryCreateNew(path.string(), error))
        return file;
    if (error == ENOENT && makeFolders && path.has_parent_path()) {
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        if (ec)
            throw EStreamError("Cannot create folder \"" + path.parent_path().string() + "\". " + ec.message());
    } else if (error == EEXIST) {
        if (keep.Contains(path))
            return nullptr;
        ::unlink(path.c_str()); // a folder stays and makes the create below fail
    }
    if (auto file = TFileStream::TryCreateNew(path.string(), error))
        return file;
    throw EStreamError("Cannot create file \"" + path.string() + "\". " + std::strerror(error));
}

std::string WouldReplaceSourceText(const std::string& path)
{
    return path + ": the output would replace its own source file, not written.";
}

void LogWouldReplace(Frontend& ui, const std::string& path)
{
    ui.AppendLine(MemoId::Memo3, "! " + WouldReplaceSourceText(path));
}

void RemoveUnfinished(const fs::path& path) { ::unlink(path.c_str()); }
