#include "platform/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
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

namespace {

[[noreturn]] void CannotCreate(const fs::path& path, int error)
{
    throw EStreamError("Cannot create file \"" + path.string() + "\". " + std::strerror(error));
}

// A hidden name beside the target that tells what it is for, with a random part: ".NAME.1a2b3c4d.part" (long
// names shortened so that it stays a legal file name).
fs::path TemporaryName(const fs::path& path, std::mt19937_64& random)
{
    std::string stem = path.filename().string();
    if (stem.size() > 64)
        stem.resize(64);
    char tail[32];
    std::snprintf(tail, sizeof tail, ".%08x.part", static_cast<unsigned>(random()));
    return path.parent_path() / ("." + stem + tail);
}

} // namespace

TReplacingFile::TReplacingFile(const fs::path& path, unsigned mode) : path_(path)
{
    if (path.empty() || !path.has_filename())
        CannotCreate(path, path.empty() ? ENOENT : EISDIR);
    std::mt19937_64 random(std::random_device{}() ^ static_cast<uint64_t>(::getpid()) << 32);
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temp_ = TemporaryName(path, random);
        fd = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd < 0 && (errno != EEXIST || attempt == 99))
            CannotCreate(path, errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        device_ = st.st_dev;
        inode_ = st.st_ino;
    }
    try {
        file_ = TFileStream::Adopt(fd, path.string());
    } catch (...) {
        Discard();
        throw;
    }
}

TReplacingFile::~TReplacingFile()
{
    if (!temp_.empty())
        Discard();
}

void TReplacingFile::Discard()
{
    file_.reset();
    // Only the file this object made: a name taken over by another file in the meantime is left alone.
    struct stat st {};
    if (::lstat(temp_.c_str(), &st) == 0 && st.st_dev == device_ && st.st_ino == inode_)
        ::unlink(temp_.c_str());
    temp_.clear();
}

void TReplacingFile::Commit(bool sync)
{
    try {
        if (sync)
            file_->Sync();
        file_->Close();
    } catch (...) {
        Discard();
        throw;
    }
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        Discard();
        CannotCreate(path_, error);
    }
    file_.reset();
    temp_.clear();
}
