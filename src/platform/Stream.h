// Byte streams: files and memory. Two kinds of read:
//  - Read: plain, delivers what is there and leaves the rest of the destination untouched;
//  - ReadBuffer / CopyFrom: exact, raise EStreamError when the source ends early.
// Multi-byte helpers are little-endian.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

static_assert(std::endian::native == std::endian::little, "little-endian host expected");

class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class SeekOrigin { Begin, Current, End };

class TStream {
public:
    virtual ~TStream() = default;

    // Plain read: returns the number of bytes delivered (0 at the end).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Plain write: returns the number of bytes written.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
    virtual int64_t Size();

    int64_t Position() { return Seek(0, SeekOrigin::Current); }
    void SetPosition(int64_t pos) { Seek(pos, SeekOrigin::Begin); }

    // Exact forms: raise EStreamError on a short read or write.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from source's current position (count 0: the whole source from its start).
    // Raises EStreamError when the source ends early. Returns the bytes copied.
    virtual int64_t CopyFrom(TStream& source, int64_t count);

    // Plain little-endian reads into an existing value: bytes that are not there leave it as it was.
    template <typename T>
    int64_t ReadValue(T& value) { return Read(&value, sizeof(T)); }
    // Exact little-endian reads.
    uint8_t ReadU8() { uint8_t v; ReadBuffer(&v, 1); return v; }
    uint16_t ReadU16() { uint16_t v; ReadBuffer(&v, 2); return v; }
    uint32_t ReadU32() { uint32_t v; ReadBuffer(&v, 4); return v; }
    int32_t ReadI32() { int32_t v; ReadBuffer(&v, 4); return v; }
    float ReadF32() { float v; ReadBuffer(&v, 4); return v; }
    // Exact little-endian writes.
    template <typename T>
    void WriteValue(const T& value) { WriteBuffer(&value, sizeof(T)); }

    // Name used in error messages.
    virtual std::string Name() const { return "stream"; }

protected:
    // The system's error number of the last read or write that failed (0: none, or the source simply ended).
    virtual int LastError() const { return 0; }
    // Text of a failed exact read of count bytes of which got arrived.
    std::string ReadErrorText(int64_t count, int64_t got, int64_t start = -1);
    // Text of a failed write.
    std::string WriteErrorText();
};

// "Stream read error: NAME: COUNT bytes needed at offset OFFSET, the file holds SIZE bytes.", or with `entry`
// 'entry "ENTRY" needs COUNT bytes ...': what a read that runs past the end of a file could not get.
std::string ReadPastEndText(const std::string& name, int64_t count, int64_t offset, int64_t size,
                            const std::string& entry = {});
// Raises that error unless the stream holds `count` bytes at `offset` (a negative offset or count never holds).
void RequireBytes(TStream& stream, int64_t offset, int64_t count, const std::string& entry = {});

// Buffered file stream. Opening a missing file, or one that cannot be created, raises EStreamError. OpenRead
// takes regular files only: a FIFO, device or folder is refused at once, without waiting for a writer.
class TFileStream : public TStream {
public:
    // CreateNew fails when the name exists already (a file or a link): nothing is written through a link.
    enum Mode { OpenRead, Create, OpenReadWrite, CreateNew };
    TFileStream(const std::string& path, Mode mode);
    ~TFileStream() override;
    // CreateNew that reports why it failed: null with the error number in `error` (EEXIST: the name exists).
    static std::unique_ptr<TFileStream> TryCreateNew(const std::string& path, int& error);
    // A stream over a descriptor open for reading and writing, which it then owns; `name` is used in messages.
    static std::unique_ptr<TFileStream> Adopt(int fd, const std::string& name);
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override;
    // Between two plain files the bytes are copied inside the kernel (copy_file_range); where the kernel refuses
    // (other file systems or kinds of file, old kernels) or copies short, the rest goes through a buffer.
    int64_t CopyFrom(TStream& source, int64_t count) override;
    std::string Name() const override { return path_; }
    // The open file's descriptor (-1 after Close).
    int Handle() const;
    const std::string& Path() const { return path_; }
    // Writes what is buffered through to the disk; raises EStreamError when that fails.
    void Sync();
    // Flushes and closes; raises EStreamError when the data could not all be written (a full disk, say).
    // The destructor closes too but cannot report.
    void Close();

protected:
    int LastError() const override { return error_; }

private:
    TFileStream(std::FILE* file, const std::string& path);
    void SetBuffer();
    [[noreturn]] void SeekFailed(int error);
    // Copies up to count bytes from source inside the kernel; returns what was copied (0 when refused).
    int64_t KernelCopy(TFileStream& source, int64_t count);
    void CheckOpen() const;
    std::string path_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> vbuf_;
    int error_ = 0; // errno of the last failed Read or Write
};

// Stream over an owned, growable byte array.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    std::string Name() const override { return name_.empty() ? "memory stream" : name_; }

    void SetSize(int64_t size);
    void Clear() { data_.clear(); pos_ = 0; }
    uint8_t* Memory() { return data_.data(); }
    const uint8_t* Memory() const { return data_.data(); }
    std::vector<uint8_t>& Bytes() { return data_; }
    const std::vector<uint8_t>& Bytes() const { return data_; }

    // Whole file in, whole stream out (exact; raise EStreamError).
    void LoadFromFile(const std::string& path);
    void SetName(std::string name) { name_ = std::move(name); }

private:
    std::vector<uint8_t> data_;
    int64_t pos_ = 0;
    std::string name_;
};
