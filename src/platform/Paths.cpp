#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// Code points of 0x80..0x9F in Windows-1252; 0 where the code page has no character (kept as U+0080 + n).
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D,
    0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A,
    0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsSep(char c) { return c == '\\' || c == '/'; }

// Calls `take` with each component of a stored name, in order: the text between separators (empty ones too).
template <typename Take>
void ForEachComponent(std::string_view name, Take&& take)
{
    size_t start = 0;
    for (size_t i = 0; i <= name.size(); ++i)
        if (i == name.size() || IsSep(name[i])) {
            take(name.substr(start, i - start));
            start = i + 1;
        }
}

// The name limit of `folder`, or of its nearest existing parent (`missing` is then set).
size_t NameLimit(const std::filesystem::path& folder, bool& missing)
{
    std::filesystem::path at = folder.empty() ? std::filesystem::path(".") : folder;
    missing = false;
    for (;;) {
        errno = 0;
        const long n = ::pathconf(at.c_str(), _PC_NAME_MAX);
        if (n > 0)
            return static_cast<size_t>(n);
        if (n < 0 && errno == 0)
            return SIZE_MAX; // no limit
        missing = true;
        std::filesystem::path up = at.parent_path();
        if (up.empty() && at.is_relative() && at != ".")
            up = ".";
        if (up.empty() || up == at)
            return NAME_MAX;
        at = std::move(up);
    }
}

} // namespace

std::string Win1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0xA0)
            AppendUtf8(out, kHigh[c - 0x80]);
        else
            AppendUtf8(out, c);
    }
    return out;
}

std::filesystem::path SafeJoin(const std::filesystem::path& base, std::string_view storedName, NameBytes bytes,
                               bool* shortened)
{
    std::filesystem::path p = base;
    bool any = false;
    size_t limit = 0;
    bool missing = false; // the walk is below a folder that does not exist
    if (shortened)
        *shortened = false;
    ForEachComponent(storedName, [&](std::string_view part) {
        if (part.empty() || part == ".")
            return;
        std::string cur(part == ".." ? "__" : part);
        if (!any && cur.size() == 2 && cur[1] == ':')
            cur.resize(1); // drive letter
        for (char& ch : cur)
            if (ch == '\0')
                ch = '_';
        if (bytes == NameBytes::Win1252)
            cur = Win1252ToUtf8(cur);
        // Every file system takes names of _POSIX_NAME_MAX bytes; a longer one asks the folder's own limit. Below
        // a folder that does not exist yet, that of its nearest existing parent holds.
        if (cur.size() > _POSIX_NAME_MAX) {
            if (!missing)
                limit = NameLimit(p, missing);
            if (cur.size() > limit) {
                cur = FitName(cur, limit);
                if (shortened)
                    *shortened = true;
            }
        }
        p /= std::filesystem::path(cur);
        any = true;
    });
    return any ? p : p / "_";
}

std::string FitName(const std::string& name, size_t limit)
{
    if (name.size() <= limit)
        return name;
    // The longest start of `s` of at most `n` bytes that ends on a character boundary.
    auto cut = [](const std::string& s, size_t n) {
        n = std::min(n, s.size());
        for (size_t back = 0; n > 0 && back < 3 && n < s.size() && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80;
             ++back)
            --n;
        return s.substr(0, n);
    };
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && name.size() - dot < limit) {
        const std::string stem = cut(name.substr(0, dot), limit - (name.size() - dot));
        if (!stem.empty())
            return stem + name.substr(dot);
    }
    return cut(name, limit);
}

size_t NameMax(const std::filesystem::path& folder)
{
    bool missing = false;
    return NameLimit(folder, missing);
}

bool IsEmptyName(std::string_view storedName)
{
    bool empty = true;
    ForEachComponent(storedName, [&](std::string_view part) { empty = empty && (part.empty() || part == "."); });
    return empty;
}

std::string TNameCase::Find(const std::filesystem::path& folder, const std::string& name)
{
    std::error_code ec;
    if (std::filesystem::exists(folder / name, ec))
        return name;
    auto [it, fresh] = folders_.try_emplace(folder);
    if (fresh)
        for (std::filesystem::directory_iterator d(folder, ec), end; !ec && d != end; d.increment(ec)) {
            const std::string entry = d->path().filename().string();
            it->second.try_emplace(UpperCase(entry), entry); // the first of names that differ only in case
        }
    const auto found = it->second.find(UpperCase(name));
    return found == it->second.end() ? std::string() : found->second;
}

std::filesystem::path ResolveStoredPath(const std::filesystem::path& base, std::string_view storedName,
                                        TNameCase* cache)
{
    std::vector<std::string> parts;
    bool rooted = !storedName.empty() && IsSep(storedName[0]);
    ForEachComponent(storedName, [&](std::string_view part) {
        if (parts.empty() && part.size() == 2 && part[1] == ':' && !rooted)
            rooted = true; // drive letter: from the root
        else if (!part.empty() && part != ".")
            parts.push_back(Win1252ToUtf8(part));
    });

    std::filesystem::path p = rooted ? base.root_path() : base;
    if (p.empty())
        p = rooted ? std::filesystem::path("/") : std::filesystem::path(".");
    std::error_code ec;
    std::filesystem::path exact = p;
    for (const auto& s : parts)
        exact /= s;
    if (std::filesystem::exists(exact, ec))
        return exact;
    TNameCase local;
    TNameCase& names = cache ? *cache : local;
    for (const auto& s : parts) {
        const std::string found = s == ".." ? std::string() : names.Find(p, s);
        p /= found.empty() ? s : found;
    }
    return p;
}

std::string ExtractFileName(const std::string& name)
{
    const auto i = name.find_last_of("\\/");
    return i == std::string::npos ? name : name.substr(i + 1);
}

std::string ExtractFilePath(const std::string& name)
{
    const auto i = name.find_last_of("\\/");
    return i == std::string::npos ? std::string() : name.substr(0, i + 1);
}

std::string ExtractFileExt(const std::string& name)
{
    const auto i = name.find_last_of(".\\/");
    if (i == std::string::npos || name[i] != '.')
        return {};
    return name.substr(i);
}

std::string ChangeFileExt(const std::string& name, const std::string& ext)
{
    const auto i = name.find_last_of(".\\/");
    if (i == std::string::npos || name[i] != '.')
        return name + ext;
    return name.substr(0, i) + ext;
}

std::string UpperCase(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string LowerCase(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string IntToHex(uint32_t value, int digits)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string s;
    do {
        s.insert(s.begin(), kHex[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    while (static_cast<int>(s.size()) < digits)
        s.insert(s.begin(), '0');
    return s;
}
