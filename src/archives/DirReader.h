// Read-only window over a stream for parsing directories: single-byte and small reads come from memory,
// seeks inside the window cost nothing. Reads past the end deliver nothing and leave their destination as it
// was; positions may lie past the end (a later read there delivers nothing).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Stream.h"

class TDirReader {
public:
    explicit TDirReader(TStream& stream, size_t window = 1 << 18);

    int64_t Size() const { return size_; }
    int64_t Position() const { return pos_; }
    void Seek(int64_t pos) { pos_ = pos < 0 ? 0 : pos; }
    void Skip(int64_t count) { Seek(pos_ + count); }
    bool AtEnd() const { return pos_ >= size_; }

    // Plain read: returns the bytes delivered.
    int64_t Read(void* buffer, int64_t count);
    template <typename T>
    int64_t ReadValue(T& value) { return Read(&value, sizeof(T)); }

    // Bytes up to a zero byte (which is consumed) or the end of the stream.
    void ReadCString(std::string& s);
    // A zero-terminated name in a field of n bytes: the position afterwards is the field's start + n.
    void ReadFixedString(int n, std::string& s);
    // Moves to the first non-zero byte at or after the position (or to the end).
    void SkipZeroPadding();
    // The next n bytes (n at most the window's size) in memory without moving, or nullptr when fewer than n
    // bytes remain.
    const uint8_t* Peek(int64_t n)
    {
        if (pos_ >= base_ && pos_ + n <= base_ + len_)
            return buf_.data() + (pos_ - base_);
        return PeekSlow(n);
    }

private:
    const uint8_t* PeekSlow(int64_t n);
    // Makes the window cover pos_; false at or past the end.
    bool Cover();

    TStream& stream_;
    std::vector<uint8_t> buf_;
    int64_t size_ = 0;
    int64_t pos_ = 0;
    int64_t base_ = 0; // stream position of buf_[0]
    int64_t len_ = 0;  // valid bytes in buf_
};
