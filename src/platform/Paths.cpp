#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdint>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "platform/Stream.h"

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

// Appends Windows-1252 bytes as UTF-8.
void AppendWin1252(std::string& out, std::string_view bytes)
{
    for (unsigned char c : bytes) {
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0xA0)
            AppendUtf8(out, kHigh[c - 0x80]);
        else
            AppendUtf8(out, c);
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

// A drive prefix ("C:"): a letter A to Z or a to z and a colon.
bool IsDriveLetter(std::string_view part)
{
    return part.size() == 2 && part[1] == ':' && ((part[0] >= 'A' && part[0] <= 'Z') || (part[0] >= 'a' && part[0] <= 'z'));
}

// The name limits of the folders along a path that grows at its end. Each folder on the way is asked at most
// once, from the shallowest down, until one does not exist (or lies past the longest path the system takes):
// below it the limit of the deepest existing folder holds. The cost is linear in the path's length whatever its
// depth.
class TFolderLimits {
public:
    // The limit of the folder `path` names (or of its deepest existing parent). `path` is only borrowed: it is
    // cut for a moment at each separator.
    size_t Of(std::string& path)
    {
        if (missing_)
            return limit_;
        if (!started_) {
            started_ = true;
            const bool rooted = !path.empty() && path[0] == '/';
            missing_ = !Ask(rooted ? "/" : ".");
            asked_ = rooted ? 1 : 0;
        }
        // Most folders exist: the whole path first, then each folder from the last one asked.
        if (path.size() > asked_ && path.size() <= PATH_MAX && Ask(path.c_str())) {
            asked_ = path.size();
            return limit_;
        }
        for (size_t pos = asked_; !missing_;) {
            const size_t sep = path.find('/', pos);
            const size_t end = sep == std::string::npos ? path.size() : sep;
            if (end > asked_) {
                if (end > PATH_MAX) {
                    missing_ = true;
                    break;
                }
                const char kept = path[end];
                path[end] = '\0';
                const bool found = Ask(path.c_str());
                path[end] = kept;
                if (!found) {
                    missing_ = true;
                    break;
                }
                asked_ = end;
            }
            if (sep == std::string::npos)
                break;
            pos = sep + 1;
        }
        return limit_;
    }

private:
    // Takes `folder`'s limit; false when it cannot be asked (the folder does not exist).
    bool Ask(const char* folder)
    {
        errno = 0;
        const long n = ::pathconf(folder, _PC_NAME_MAX);
        if (n > 0)
            limit_ = static_cast<size_t>(n);
        else if (n < 0 && errno == 0)
            limit_ = SIZE_MAX; // no limit
        else
            return false;
        return true;
    }

    size_t limit_ = NAME_MAX;
    size_t asked_ = 0; // the length of the deepest folder asked
    bool started_ = false;
    bool missing_ = false;
};

// FNV-1a: a fixed 32-bit hash, the same on every run and machine.
uint32_t NameHash(std::string_view s)
{
    uint32_t h = 2166136261u;
    for (unsigned char c : s)
        h = (h ^ c) * 16777619u;
    return h;
}

// Appends a component to a path held as text.
void AppendComponent(std::string& path, std::string_view part)
{
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += part;
}

} // namespace

std::string Win1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    AppendWin1252(out, bytes);
    return out;
}

std::filesystem::path SafeJoin(const std::filesystem::path& base, std::string_view storedName, NameBytes bytes,
                               bool* shortened)
{
    // Made as text and parsed once: appending to a path object costs more the deeper it is.
    std::string p = base.native();
    TFolderLimits limits;
    bool any = false;
    if (shortened)
        *shortened = false;
    ForEachComponent(storedName, [&](std::string_view part) {
        if (part.empty() || part == ".")
            return;
        if (part == "..")
            part = "__";
        else if (!any && IsDriveLetter(part))
            part = part.substr(0, 1);
        const size_t folder = p.size();
        AppendComponent(p, {});
        const size_t start = p.size();
        if (bytes == NameBytes::Win1252)
            AppendWin1252(p, part);
        else
            p += part;
        std::replace(p.begin() + static_cast<std::ptrdiff_t>(start), p.end(), '\0', '_');
        // Every file system takes names of _POSIX_NAME_MAX bytes; a longer one asks the folder's own limit.
        if (p.size() - start > _POSIX_NAME_MAX) {
            std::string name = p.substr(start);
            p.resize(folder);
            const size_t limit = limits.Of(p);
            if (name.size() > limit) {
                name = FitName(name, limit);
                if (shortened)
                    *shortened = true;
            }
            AppendComponent(p, name);
        }
        any = true;
    });
    if (!any)
        AppendComponent(p, "_");
    if (p.size() >= PATH_MAX)
        throw EStreamError("Cannot create file \"" + p + "\". " + std::strerror(ENAMETOOLONG));
    return std::filesystem::path(std::move(p));
}

std::string Utf8Prefix(std::string_view s, size_t n)
{
    n = std::min(n, s.size());
    for (size_t back = 0; n > 0 && back < 3 && n < s.size() && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80;
         ++back)
        --n;
    return std::string(s.substr(0, n));
}

std::string FitName(const std::string& name, size_t limit)
{
    if (name.size() <= limit)
        return name;
    // The mark keeps names apart that begin alike, and gives one name the same shortening every time.
    const std::string mark = "~" + IntToHex(NameHash(name), 8);
    if (limit <= mark.size())
        return Utf8Prefix(name, limit);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && name.size() - dot + mark.size() < limit) {
        const std::string stem = Utf8Prefix(std::string_view(name).substr(0, dot), limit - mark.size() - (name.size() - dot));
        if (!stem.empty())
            return stem + mark + name.substr(dot);
    }
    return Utf8Prefix(name, limit - mark.size()) + mark;
}

size_t NameMax(const std::filesystem::path& folder)
{
    std::string path = folder.empty() ? std::string(".") : folder.native();
    return TFolderLimits().Of(path);
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
        if (parts.empty() && IsDriveLetter(part) && !rooted)
            rooted = true; // drive letter: from the root
        else if (!part.empty() && part != ".")
            parts.push_back(Win1252ToUtf8(part));
    });

    std::string start = rooted ? base.root_path().native() : base.native();
    if (start.empty())
        start = rooted ? "/" : ".";
    std::string exact = start;
    for (const auto& s : parts)
        AppendComponent(exact, s);
    std::error_code ec;
    if (std::filesystem::exists(exact, ec))
        return exact;
    // Folder by folder, up to letter case; below a folder that is missing nothing else can be found.
    TNameCase local;
    TNameCase& names = cache ? *cache : local;
    std::string p = std::move(start);
    bool lost = false;
    for (const auto& s : parts) {
        std::string found;
        if (!lost && s != "..") {
            found = p.size() <= PATH_MAX ? names.Find(p, s) : std::string();
            lost = found.empty();
        }
        AppendComponent(p, found.empty() ? s : found);
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
