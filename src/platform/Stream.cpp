#include "platform/Stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int64_t TStream::Size()
{
    const int64_t here = Seek(0, SeekOrigin::Current);
    const int64_t end = Seek(0, SeekOrigin::End);
    Seek(here, SeekOrigin::Begin);
    return end;
}

std::string ReadPastEndText(const std::string& name, int64_t count, int64_t offset, int64_t size,
                            const std::string& entry)
{
    const std::string what = entry.empty() ? std::to_string(count) + " bytes needed"
                                           : "entry \"" + entry + "\" needs " + std::to_string(count) + " bytes";
    return "Stream read error: " + name + ": " + what + " at offset " + std::to_string(offset) +
           ", the file holds " + std::to_string(size) + " bytes.";
}

void RequireBytes(TStream& stream, int64_t offset, int64_t count, const std::string& entry)
{
    const int64_t size = stream.Size();
    if (offset < 0 || count < 0 || offset + count > size)
        throw EStreamError(ReadPastEndText(stream.Name(), count, offset, size, entry));
}

std::string TStream::ReadErrorText(int64_t count, int64_t got, int64_t start)
{
    if (const int error = LastError())
        return "Stream read error: " + Name() + ": " + std::strerror(error);
    if (start < 0)
        start = Position() - std::max<int64_t>(got, 0);
    return ReadPastEndText(Name(), count, start, Size());
}

std::string TStream::WriteErrorText()
{
    const int error = LastError();
    return "Stream write error: " + Name() + ": " + std::strerror(error ? error : EIO);
}

void TStream::ReadBuffer(void* buffer, int64_t count)
{
    if (count <= 0)
        return;
    const int64_t got = Read(buffer, count);
    if (got != count)
        throw EStreamError(ReadErrorText(count, got));
}

void TStream::WriteBuffer(const void* buffer, int64_t count)
{
    if (count > 0 && Write(buffer, count) != count)
        throw EStreamError(WriteErrorText());
}

int64_t TStream::CopyFrom(TStream& source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    constexpr int64_t kChunk = 1 << 20;
    std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(count, 0), kChunk)));
    int64_t left = count;
    while (left > 0) {
        const int64_t n = std::min<int64_t>(left, kChunk);
        const int64_t got = source.Read(buf.data(), n);
        if (got != n) {
            WriteBuffer(buf.data(), got);
            const int64_t start = source.Position() - std::max<int64_t>(got, 0) - (count - left);
            throw EStreamError(source.ReadErrorText(count, got, start));
        }
        WriteBuffer(buf.data(), n);
        left -= n;
    }
    return count;
}

// ---- input files ----

namespace {

// Opens an input file for reading without blocking on a FIFO or a device. The descriptor (close-on-exec, in
// blocking mode), or -1 with `why` set: the system's reason, or "Not a regular file" for anything but a regular
// file (the path names a folder, FIFO, socket or device; links are followed).
int OpenRegularFile(const std::string& path, std::string& why)
{
    // A device is not even opened (opening some of them acts); a name that is swapped for another kind of file
    // after this check is opened without blocking and checked again before anything is read.
    struct stat named {};
    if (::stat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode)) {
        why = "Not a regular file";
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        return -1;
    }
    auto fail = [&](std::string text) {
        why = std::move(text);
        ::close(fd);
        return -1;
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return fail(std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        return fail("Not a regular file");
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return fail(std::strerror(errno));
    return fd;
}

} // namespace

// ---- TFileStream ----

TFileStream::TFileStream(const std::string& path, Mode mode) : path_(path)
{
    if (mode == OpenRead) {
        std::string why;
        const int fd = OpenRegularFile(path, why);
        if (fd < 0)
            throw EStreamError("Cannot open file \"" + path + "\". " + why);
        file_ = ::fdopen(fd, "rb");
        if (!file_) {
            why = std::strerror(errno);
            ::close(fd);
            throw EStreamError("Cannot open file \"" + path + "\". " + why);
        }
        SetBuffer();
        return;
    }
    const char* how = mode == Create ? "w+b" : mode == CreateNew ? "w+bx" : "r+b";
    file_ = std::fopen(path.c_str(), how);
    if (!file_) {
        const char* why = std::strerror(errno);
        if (mode == Create || mode == CreateNew)
            throw EStreamError("Cannot create file \"" + path + "\". " + why);
        throw EStreamError("Cannot open file \"" + path + "\". " + why);
    }
    SetBuffer();
}

TFileStream::TFileStream(std::FILE* file, const std::string& path) : path_(path), file_(file) { SetBuffer(); }

void TFileStream::SetBuffer()
{
    constexpr size_t kBuffer = 1 << 16;
    vbuf_.reset(new char[kBuffer]);
    std::setvbuf(file_, vbuf_.get(), _IOFBF, kBuffer);
}

std::unique_ptr<TFileStream> TFileStream::TryCreateNew(const std::string& path, int& error)
{
    std::FILE* f = std::fopen(path.c_str(), "w+bx");
    if (!f) {
        error = errno;
        return nullptr;
    }
    error = 0;
    return std::unique_ptr<TFileStream>(new TFileStream(f, path));
}

std::unique_ptr<TFileStream> TFileStream::Adopt(int fd, const std::string& name)
{
    std::FILE* f = ::fdopen(fd, "w+b");
    if (!f) {
        const int error = errno;
        ::close(fd);
        throw EStreamError("Cannot create file \"" + name + "\". " + std::strerror(error));
    }
    return std::unique_ptr<TFileStream>(new TFileStream(f, name));
}

void TFileStream::Sync()
{
    CheckOpen();
    if (std::fflush(file_) != 0 || ::fsync(fileno(file_)) != 0) {
        error_ = errno;
        throw EStreamError(WriteErrorText());
    }
}

int TFileStream::Handle() const { return file_ ? fileno(file_) : -1; }

int64_t TFileStream::KernelCopy(TFileStream& source, int64_t count)
{
    CheckOpen();
    source.CheckOpen();
    const int in = fileno(source.file_), out = fileno(file_);
    struct stat si {}, so {};
    if (fstat(in, &si) != 0 || fstat(out, &so) != 0 || !S_ISREG(si.st_mode) || !S_ISREG(so.st_mode))
        return 0;
    if (std::fflush(file_) != 0)
        return 0; // the buffered path reports the write error
    off_t inPos = ftello(source.file_), outPos = ftello(file_);
    if (inPos < 0 || outPos < 0)
        return 0;
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = copy_file_range(in, &inPos, out, &outPos,
                                          static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30)), 0);
        if (n < 0 && errno == EINTR)
            continue;
        // Refused (EXDEV, EINVAL, ENOSYS, EOPNOTSUPP, ...) or the end of the source: the buffered copy goes on
        // from here and reports what is wrong.
        if (n <= 0)
            break;
        done += n;
    }
    // The descriptors' offsets were not moved; the streams go on from where the copy ended.
    if (fseeko(source.file_, inPos, SEEK_SET) != 0)
        source.SeekFailed(errno);
    if (fseeko(file_, outPos, SEEK_SET) != 0)
        SeekFailed(errno);
    return done;
}

int64_t TFileStream::CopyFrom(TStream& source, int64_t count)
{
    auto* file = dynamic_cast<TFileStream*>(&source);
    if (!file || count < 0)
        return TStream::CopyFrom(source, count);
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    const int64_t done = count > 0 ? KernelCopy(*file, count) : 0;
    if (done < count)
        TStream::CopyFrom(source, count - done);
    return count;
}

TFileStream::~TFileStream()
{
    if (file_)
        std::fclose(file_);
}

void TFileStream::Close()
{
    if (!file_)
        return;
    // The reason of the first failure: the flush, a write before it, or the close.
    int error = std::fflush(file_) != 0 ? errno : std::ferror(file_) != 0 ? (error_ ? error_ : EIO) : 0;
    if (std::fclose(file_) != 0 && error == 0)
        error = errno;
    file_ = nullptr;
    if (error != 0) {
        error_ = error;
        throw EStreamError(WriteErrorText());
    }
}

void TFileStream::SeekFailed(int error)
{
    // A seek first writes out what is buffered: when that failed, it is a write error.
    error_ = error;
    if (std::ferror(file_) != 0)
        throw EStreamError(WriteErrorText());
    throw EStreamError("Seek error: " + path_ + ": " + std::strerror(error));
}

void TFileStream::CheckOpen() const
{
    if (!file_)
        throw EStreamError("File closed: " + path_);
}

int64_t TFileStream::Read(void* buffer, int64_t count)
{
    CheckOpen();
    if (count <= 0)
        return 0;
    const size_t got = std::fread(buffer, 1, static_cast<size_t>(count), file_);
    // Short at the end of the file: no error; short for a failure: its reason is kept for the message.
    error_ = got < static_cast<size_t>(count) && std::ferror(file_) != 0 ? (errno ? errno : EIO) : 0;
    if (error_ != 0)
        std::clearerr(file_);
    return static_cast<int64_t>(got);
}

int64_t TFileStream::Write(const void* buffer, int64_t count)
{
    CheckOpen();
    if (count <= 0)
        return 0;
    errno = 0;
    const size_t put = std::fwrite(buffer, 1, static_cast<size_t>(count), file_);
    error_ = put < static_cast<size_t>(count) ? (errno ? errno : EIO) : 0;
    return static_cast<int64_t>(put);
}

int64_t TFileStream::Seek(int64_t offset, SeekOrigin origin)
{
    CheckOpen();
    const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
    if (!(origin == SeekOrigin::Current && offset == 0))
        if (fseeko(file_, offset, whence) != 0)
            SeekFailed(errno);
    return static_cast<int64_t>(ftello(file_));
}

int64_t TFileStream::Size()
{
    CheckOpen();
    std::fflush(file_);
    struct stat st {};
    if (fstat(fileno(file_), &st) != 0)
        return TStream::Size();
    return static_cast<int64_t>(st.st_size);
}

// ---- TMemoryStream ----

int64_t TMemoryStream::Read(void* buffer, int64_t count)
{
    const int64_t avail = static_cast<int64_t>(data_.size()) - pos_;
    const int64_t n = std::min(count, avail);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    const int64_t end = pos_ + count;
    if (end > static_cast<int64_t>(data_.size()))
        data_.resize(static_cast<size_t>(end));
    std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
    pos_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin)
{
    const int64_t base = origin == SeekOrigin::Begin ? 0 : origin == SeekOrigin::Current ? pos_ : Size();
    pos_ = std::max<int64_t>(0, base + offset);
    return pos_;
}

void TMemoryStream::SetSize(int64_t size)
{
    data_.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
    pos_ = std::min<int64_t>(pos_, size);
}

void TMemoryStream::LoadFromFile(const std::string& path)
{
    TFileStream f(path, TFileStream::OpenRead);
    const int64_t n = f.Size();
    std::vector<uint8_t> bytes(static_cast<size_t>(n));
    f.ReadBuffer(bytes.data(), n);
    data_ = std::move(bytes);
    pos_ = 0;
}

