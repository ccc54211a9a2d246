#include "models/FloatFormat.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
constexpr uint64_t kPow10i[] = {1ull,      10ull,      100ull,      1000ull,      10000ull,
                                100000ull, 1000000ull, 10000000ull, 100000000ull, 1000000000ull};

size_t PutText(char* out, const char* text)
{
    const size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return n;
}

} // namespace

size_t PutUInt(char* out, uint64_t v)
{
    char tmp[24];
    size_t n = 0;
    do {
        tmp[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    for (size_t i = 0; i < n; ++i)
        out[i] = tmp[n - 1 - i];
    return n;
}

namespace {

// Exponent form from the significant digits (first one not zero) and the decimal exponent of the first digit.
// The digits are rounded half away from zero to `precision` digits first.
size_t PutExponent(char* out, bool negative, std::string digits, int exponent, int precision)
{
    if (static_cast<int>(digits.size()) > precision) {
        const bool up = digits[precision] >= '5';
        digits.resize(precision);
        if (up) {
            int i = precision - 1;
            while (i >= 0 && digits[i] == '9')
                digits[i--] = '0';
            if (i < 0) {
                digits.insert(digits.begin(), '1');
                digits.pop_back();
                ++exponent;
            } else {
                ++digits[i];
            }
        }
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    size_t n = 0;
    if (negative)
        out[n++] = '-';
    out[n++] = digits[0];
    if (digits.size() > 1) {
        out[n++] = '.';
        std::memcpy(out + n, digits.data() + 1, digits.size() - 1);
        n += digits.size() - 1;
    }
    out[n++] = 'E';
    n += PutUInt(out + n, static_cast<uint64_t>(exponent));
    return n;
}

} // namespace

size_t FormatFixed6(char* out, float v, int precision)
{
    if (std::isnan(v))
        return PutText(out, "NAN");
    if (std::isinf(v))
        return PutText(out, v < 0 ? "-INF" : "INF");
    if (precision < 1)
        precision = 1;
    if (precision > 7)
        precision = 7;

    const bool negative = std::signbit(v);
    const double a = std::fabs(static_cast<double>(v));

    // Digits before the point, capped at precision + 1.
    int d = 0;
    if (a >= 1.0) {
        d = 1;
        while (d <= precision && a >= kPow10[d])
            ++d;
    }
    if (d > precision) {
        // Exact decimal expansion of the value (a float has at most 39 integer digits and, at this size, at
        // most a few fraction digits), then rounded by hand.
        char buf[128];
        auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 60);
        const char* e = static_cast<const char*>(std::memchr(buf, 'e', static_cast<size_t>(res.ptr - buf)));
        std::string digits;
        digits += buf[0];
        digits.append(buf + 2, static_cast<size_t>(e - (buf + 2)));
        int exponent = 0;
        std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), res.ptr, exponent);
        return PutExponent(out, negative, std::move(digits), exponent, precision);
    }

    const int k = d == 0 ? 6 : (precision - d < 6 ? precision - d : 6);
    // A float has 24 significant bits and 10^k (k <= 6) an odd factor below 2^14: the product is exact.
    const uint64_t r = static_cast<uint64_t>(std::round(a * kPow10[k]));
    const uint64_t ip = r / kPow10i[k];
    const uint64_t fp = r % kPow10i[k];
    if (ip >= kPow10i[precision]) {
        // Rounding carried into one more digit (9999999.5 -> 10000000).
        char tmp[24];
        const size_t n = PutUInt(tmp, ip);
        return PutExponent(out, negative, std::string(tmp, n), static_cast<int>(n) - 1, precision);
    }
    size_t n = 0;
    if (negative && r != 0)
        out[n++] = '-';
    n += PutUInt(out + n, ip);
    out[n++] = '.';
    for (int i = k - 1; i >= 0; --i)
        out[n + static_cast<size_t>(i)] = static_cast<char>('0' + (fp / kPow10i[k - 1 - i]) % 10);
    n += static_cast<size_t>(k);
    for (int i = k; i < 6; ++i)
        out[n++] = '0';
    return n;
}

std::string FormatFixed6(float v, int precision)
{
    char buf[64];
    return std::string(buf, FormatFixed6(buf, v, precision));
}
