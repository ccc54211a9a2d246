#include "archives/DirReader.h"

#include <algorithm>
#include <cstring>

TDirReader::TDirReader(TStream& stream, size_t window) : stream_(stream), buf_(std::max<size_t>(window, 64))
{
    size_ = stream_.Size();
    pos_ = stream_.Position();
}

bool TDirReader::Cover()
{
    if (pos_ >= size_)
        return false;
    if (pos_ >= base_ && pos_ < base_ + len_)
        return true;
    stream_.Seek(pos_, SeekOrigin::Begin);
    base_ = pos_;
    len_ = stream_.Read(buf_.data(), static_cast<int64_t>(buf_.size()));
    if (len_ < 0)
        len_ = 0;
    return len_ > 0;
}

int64_t TDirReader::Read(void* buffer, int64_t count)
{
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count && Cover()) {
        const int64_t avail = base_ + len_ - pos_;
        const int64_t n = std::min(avail, count - done);
        std::memcpy(out + done, buf_.data() + (pos_ - base_), static_cast<size_t>(n));
        done += n;
        pos_ += n;
    }
    return done;
}

void TDirReader::ReadCString(std::string& s)
{
    bool first = true;
    while (Cover()) {
        const uint8_t* from = buf_.data() + (pos_ - base_);
        const int64_t avail = base_ + len_ - pos_;
        const void* zero = std::memchr(from, 0, static_cast<size_t>(avail));
        const int64_t n = zero ? static_cast<const uint8_t*>(zero) - from : avail;
        if (first)
            s.assign(reinterpret_cast<const char*>(from), static_cast<size_t>(n));
        else
            s.append(reinterpret_cast<const char*>(from), static_cast<size_t>(n));
        first = false;
        pos_ += zero ? n + 1 : n;
        if (zero)
            return;
    }
    if (first)
        s.clear();
}

void TDirReader::ReadFixedString(int n, std::string& s)
{
    const int64_t start = pos_;
    ReadCString(s);
    Seek(start + n);
}

void TDirReader::SkipZeroPadding()
{
    while (Cover()) {
        const uint8_t* from = buf_.data() + (pos_ - base_);
        const int64_t avail = base_ + len_ - pos_;
        const uint8_t* p = std::find_if(from, from + avail, [](uint8_t b) { return b != 0; });
        pos_ += p - from;
        if (p != from + avail)
            return;
    }
}

const uint8_t* TDirReader::PeekSlow(int64_t n)
{
    if (n > static_cast<int64_t>(buf_.size()) || pos_ + n > size_)
        return nullptr;
    if (pos_ < base_ || pos_ + n > base_ + len_) {
        len_ = 0; // refill from pos_
        if (!Cover() || pos_ + n > base_ + len_)
            return nullptr;
    }
    return buf_.data() + (pos_ - base_);
}
