#include "platform/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Frontend.h"
#include "platform/Paths.h"

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

namespace {

// The permission bits of the regular file at `path` (not through a link), which a file that replaces it takes on.
std::optional<mode_t> ModeOf(const fs::path& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 0777;
    return std::nullopt;
}

} // namespace

std::unique_ptr<TFileStream> CreateOutputFile(const fs::path& path, const TFileIds& keep, bool makeFolders)
{
    int error = 0;
    std::optional<mode_t> mode; // of the file replaced
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
        mode = ModeOf(path);
        ::unlink(path.c_str()); // a folder stays and makes the create below fail
    }
    if (auto file = TFileStream::TryCreateNew(path.string(), error)) {
        if (mode)
            ::fchmod(file->Handle(), *mode);
        return file;
    }
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
    char tail[32];
    std::snprintf(tail, sizeof tail, ".%08x.part", static_cast<unsigned>(random()));
    return path.parent_path() / ("." + Utf8Prefix(path.filename().string(), 64) + tail);
}

// A fresh hidden name beside `target`, made by `make` (0 when it made a file of that name, else the error): a name
// that is taken already is tried again with another, up to 100 times. Raises the error that ended the tries.
template <typename Make>
fs::path FreshName(const fs::path& target, Make&& make)
{
    std::mt19937_64 random(std::random_device{}() ^ static_cast<uint64_t>(::getpid()) << 32);
    for (int attempt = 0;; ++attempt) {
        fs::path name = TemporaryName(target, random);
        const int error = make(name);
        if (error == 0)
            return name;
        if (error != EEXIST || attempt == 99)
            CannotCreate(target, error);
    }
}

} // namespace

bool TReplacingFile::UnnamedFiles = true;

TReplacingFile::TReplacingFile(const fs::path& path, unsigned mode) : path_(path)
{
    if (path.empty() || !path.has_filename())
        CannotCreate(path, path.empty() ? ENOENT : EISDIR);
    // A file without a name in the target's folder: a write that never commits (a crash, a kill) leaves nothing.
    // Where the file system or the kernel has no such files, a fresh hidden name, created exclusively.
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    int fd = UnnamedFiles ? ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode) : -1;
    if (fd < 0)
        temp_ = FreshName(path, [&](const fs::path& name) {
            fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
            return fd < 0 ? errno : 0;
        });
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        device_ = st.st_dev;
        inode_ = st.st_ino;
    }
    // A descriptor of our own: the file is named and its mode set after the stream has closed it.
    fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    try {
        if (fd_ < 0)
            CannotCreate(path, errno);
        file_ = TFileStream::Adopt(fd, path.string());
    } catch (...) {
        if (!file_)
            ::close(fd);
        Discard();
        throw;
    }
}

TReplacingFile::~TReplacingFile()
{
    if (fd_ >= 0)
        Discard();
}

void TReplacingFile::Discard()
{
    file_.reset();
    // Only the file this object made: a name taken over by another file in the meantime is left alone.
    struct stat st {};
    if (!temp_.empty() && ::lstat(temp_.c_str(), &st) == 0 && st.st_dev == device_ && st.st_ino == inode_)
        ::unlink(temp_.c_str());
    temp_.clear();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void TReplacingFile::Name()
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    temp_ = FreshName(path_, [&](const fs::path& name) {
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return 0;
        const int error = errno;
        // Without /proc: the descriptor itself, which needs the privilege to do so.
        return error == ENOENT && ::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0 ? 0 : error;
    });
}

void TReplacingFile::Commit(bool sync)
{
    try {
        if (sync)
            file_->Sync();
        // A file that is replaced passes its permission bits on; a new file keeps the usual mode.
        if (const auto mode = ModeOf(path_))
            ::fchmod(fd_, *mode);
        file_->Close();
        if (temp_.empty())
            Name();
    } catch (...) {
        Discard();
        throw;
    }
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        Discard();
        CannotCreate(path_, error);
    }
    temp_.clear();
    Discard();
}
