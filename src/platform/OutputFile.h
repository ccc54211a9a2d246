// Files written for the user. Each is created new at its path: an existing file or link of that name is replaced,
// never written through or truncated in place, and a file that is being read (an archive, its companion, a
// stream file) is never replaced. A write that fails leaves no partial file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/Stream.h"

class Frontend;

// A set of files by identity (device and inode), so that other spellings of a name and links count as the file.
class TFileIds {
public:
    TFileIds() = default;
    // A set that also holds everything `more` holds (null: nothing more).
    explicit TFileIds(const TFileIds* more) : more_(more) {}

    // Adds the file at path, links followed; a path that does not exist adds nothing.
    void Add(const std::filesystem::path& path);
    // Adds the open file.
    void Add(const TFileStream& file);
    // The file at path (links followed) is one of the set.
    bool Contains(const std::filesystem::path& path) const;
    void Clear() { ids_.clear(); }

private:
    bool Holds(uint64_t device, uint64_t inode) const;
    std::vector<std::pair<uint64_t, uint64_t>> ids_;
    const TFileIds* more_ = nullptr;
};

// A new file at path, with its missing folders created when `makeFolders` is set. An existing file or link of
// that name is removed first, unless it is one of `keep`: then nothing is touched and the result is null. Other
// failures raise EStreamError.
std::unique_ptr<TFileStream> CreateOutputFile(const std::filesystem::path& path, const TFileIds& keep,
                                              bool makeFolders = true);

// The message for an output skipped because it would replace one of the files it is made from.
std::string WouldReplaceSourceText(const std::string& path);
// The same as a line of the analyzer's log.
void LogWouldReplace(Frontend& ui, const std::string& path);

// Removes a file that could not be finished.
void RemoveUnfinished(const std::filesystem::path& path);

// A file that takes the place of `path` as a whole once it is finished. It is written as a file without a name in
// the same folder (or, where the file system has none, under a fresh hidden name created exclusively), and Commit
// names it and renames it over `path`, replacing a file or link of that name; a regular file it replaces passes its
// permission bits on. Until then `path` is untouched; a file that is not committed is removed (a killed write
// leaves none), and nothing else ever is.
class TReplacingFile {
public:
    // Raises EStreamError when the new file cannot be made (the folder is missing, say).
    explicit TReplacingFile(const std::filesystem::path& path, unsigned mode = 0666);
    ~TReplacingFile();
    TReplacingFile(const TReplacingFile&) = delete;
    TReplacingFile& operator=(const TReplacingFile&) = delete;

    TFileStream& Stream() { return *file_; }
    // Closes the file (written through to the disk first with `sync`) and renames it over the path. Raises
    // EStreamError, the new file removed, when either fails.
    void Commit(bool sync = false);

    // False: every file is made under a hidden name, as where the file system has no files without a name.
    static bool UnnamedFiles;

private:
    void Discard();
    // Gives the unnamed file a fresh hidden name beside the target.
    void Name();
    std::filesystem::path path_;
    std::filesystem::path temp_; // the new file's hidden name, while it has one
    std::unique_ptr<TFileStream> file_;
    int fd_ = -1; // the new file, open until it is committed or removed
    uint64_t device_ = 0, inode_ = 0; // of the new file, so that only it is ever removed
};

// A TReplacingFile for path, `write` on it, then Commit. False: refused (nothing written), the path names one of
// `keep`. Errors of `write` and of the commit are raised, the new file removed.
template <typename Write>
bool WriteReplacingFile(const std::filesystem::path& path, const TFileIds& keep, Write&& write, bool sync = false)
{
    if (keep.Contains(path))
        return false;
    TReplacingFile file(path);
    write(file.Stream());
    file.Commit(sync);
    return true;
}

// CreateOutputFile, `write` on the new file, then Close. When `write` or the close fails, the file is removed and
// the error raised again. False: refused, the path names one of `keep`.
template <typename Write>
bool WriteOutputFile(const std::filesystem::path& path, const TFileIds& keep, Write&& write, bool makeFolders = true)
{
    std::unique_ptr<TFileStream> file = CreateOutputFile(path, keep, makeFolders);
    if (!file)
        return false;
    try {
        write(*file);
        file->Close();
    } catch (...) {
        file.reset();
        RemoveUnfinished(path);
        throw;
    }
    return true;
}

// The same for an output into an existing folder that may replace any file (a missing folder is an error).
template <typename Write>
void WriteOutputFile(const std::filesystem::path& path, Write&& write)
{
    WriteOutputFile(path, TFileIds(), std::forward<Write>(write), false);
}
