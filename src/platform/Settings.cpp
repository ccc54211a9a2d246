#include "platform/Settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "platform/Paths.h"
#include "platform/Stream.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> SplitPath(const std::string& path)
{
    std::vector<std::string> parts;
    std::string cur;
    for (char c : path) {
        if (c == '\\') {
            if (!cur.empty())
                parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        parts.push_back(cur);
    return parts;
}

std::string JoinPath(const std::vector<std::string>& parts, size_t count)
{
    std::string out;
    for (size_t i = 0; i < count && i < parts.size(); ++i) {
        if (i)
            out += '\\';
        out += parts[i];
    }
    return out;
}

std::string Normalize(const std::string& path) { auto p = SplitPath(path); return JoinPath(p, p.size()); }

bool SameName(const std::string& a, const std::string& b) { return UpperCase(a) == UpperCase(b); }

// "A\B" is inside "A" (and everything is inside the root "").
bool IsBelow(const std::string& upperPath, const std::string& upperParent)
{
    if (upperParent.empty())
        return !upperPath.empty();
    return upperPath.size() > upperParent.size() + 1 && upperPath.compare(0, upperParent.size(), upperParent) == 0 &&
           upperPath[upperParent.size()] == '\\';
}

std::string Quote(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + '"';
}

std::string HexList(const std::vector<uint8_t>& bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i)
            out += ',';
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads a quoted string starting at s[i] == '"'; on success i is past the closing quote.
bool ParseQuoted(const std::string& s, size_t& i, std::string& out)
{
    if (i >= s.size() || s[i] != '"')
        return false;
    out.clear();
    for (++i; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\\' && i + 1 < s.size()) {
            out += s[++i];
        } else if (c == '"') {
            ++i;
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

bool ParseHexBytes(const std::string& s, std::vector<uint8_t>& out)
{
    out.clear();
    int acc = -1;
    for (char c : s) {
        if (c == ' ' || c == '\t')
            continue;
        if (c == ',') {
            if (acc < 0)
                return false;
            out.push_back(static_cast<uint8_t>(acc));
            acc = -1;
            continue;
        }
        int d = HexDigit(c);
        if (d < 0)
            return false;
        if (acc < 0)
            acc = d;
        else if (acc < 16)
            acc = acc * 16 + d;
        else
            return false; // more than two digits
    }
    if (acc >= 0)
        out.push_back(static_cast<uint8_t>(acc));
    return true;
}

std::string Trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// "name"=hex... or @=hex...: the only values that may span lines.
bool IsHexValueLine(const std::string& line)
{
    size_t i = 0;
    std::string name;
    if (line[0] == '@')
        i = 1;
    else if (!ParseQuoted(line, i, name))
        return false;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    return line.compare(i, 4, "=hex") == 0;
}

bool ParseValueLine(const std::string& line, TRegValue& v, bool& isDeletion)
{
    isDeletion = false;
    size_t i = 0;
    if (line[0] == '@') {
        v.name.clear();
        i = 1;
    } else if (!ParseQuoted(line, i, v.name)) {
        return false;
    }
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    if (i >= line.size() || line[i] != '=')
        return false;
    const std::string data = Trim(line.substr(i + 1));
    if (data == "-") {
        isDeletion = true;
        return true;
    }
    if (!data.empty() && data[0] == '"') {
        size_t j = 0;
        v.type = static_cast<uint32_t>(TRegDataType::String);
        return ParseQuoted(data, j, v.text) && Trim(data.substr(j)).empty();
    }
    const std::string lower = LowerCase(data);
    if (lower.rfind("dword:", 0) == 0) {
        const std::string digits = Trim(data.substr(6));
        if (digits.empty() || digits.size() > 8)
            return false;
        uint32_t value = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0)
                return false;
            value = value * 16 + static_cast<uint32_t>(d);
        }
        v.type = static_cast<uint32_t>(TRegDataType::DWord);
        v.dword = value;
        return true;
    }
    size_t colon = std::string::npos;
    uint32_t type = 0;
    if (lower.rfind("hex:", 0) == 0) {
        type = static_cast<uint32_t>(TRegDataType::Binary);
        colon = 3;
    } else if (lower.rfind("hex(", 0) == 0) {
        size_t close = lower.find("):", 4);
        if (close == std::string::npos || close == 4 || close > 12)
            return false;
        for (size_t k = 4; k < close; ++k) {
            int d = HexDigit(lower[k]);
            if (d < 0)
                return false;
            type = type * 16 + static_cast<uint32_t>(d);
        }
        colon = close + 1;
    } else {
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!ParseHexBytes(data.substr(colon + 1), bytes))
        return false;
    v.type = type;
    if (type == static_cast<uint32_t>(TRegDataType::String)) {
        while (!bytes.empty() && bytes.back() == 0)
            bytes.pop_back();
        v.text.assign(bytes.begin(), bytes.end());
    } else if (type == static_cast<uint32_t>(TRegDataType::DWord) && bytes.size() == 4) {
        v.dword = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    } else {
        v.bytes = std::move(bytes);
    }
    return true;
}

std::string FormatValue(const TRegValue& v)
{
    std::string out = v.name.empty() ? std::string("@") : Quote(v.name);
    out += '=';
    switch (v.type) {
    case static_cast<uint32_t>(TRegDataType::String):
        if (v.text.find_first_of("\r\n") == std::string::npos)
            return out + Quote(v.text);
        return out + "hex(1):" + HexList(std::vector<uint8_t>(v.text.begin(), v.text.end()));
    case static_cast<uint32_t>(TRegDataType::DWord): {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", v.dword);
        return out + buf;
    }
    case static_cast<uint32_t>(TRegDataType::Binary):
        return out + "hex:" + HexList(v.bytes);
    default: {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
        return out + buf + HexList(v.bytes);
    }
    }
}

} // namespace

void TRegistryData::Parse(const std::string& text, const std::string& rootName)
{
    keys_.clear();
    std::istringstream in(text);
    std::string raw;
    TRegKey* current = nullptr; // null outside a section of this root
    const std::string upperRoot = UpperCase(rootName);
    while (std::getline(in, raw)) {
        std::string line = Trim(raw);
        // Hex lists may continue on the next lines after a trailing backslash.
        while (!line.empty() && line.back() == '\\' && IsHexValueLine(line) && std::getline(in, raw))
            line = Trim(line.substr(0, line.size() - 1)) + Trim(raw);
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            current = nullptr;
            if (line.back() != ']' || line.size() < 3 || line[1] == '-')
                continue;
            const std::string path = line.substr(1, line.size() - 2);
            const std::string upper = UpperCase(path);
            if (upper == upperRoot) {
                current = &Create("");
            } else if (upper.size() > upperRoot.size() && upper.compare(0, upperRoot.size(), upperRoot) == 0 &&
                       upper[upperRoot.size()] == '\\') {
                current = &Create(path.substr(upperRoot.size() + 1));
            }
            continue;
        }
        if (!current)
            continue;
        TRegValue v;
        bool deletion = false;
        if (!ParseValueLine(line, v, deletion) || deletion)
            continue;
        auto it = std::find_if(current->values.begin(), current->values.end(),
                               [&](const TRegValue& x) { return SameName(x.name, v.name); });
        if (it != current->values.end())
            *it = std::move(v);
        else
            current->values.push_back(std::move(v));
    }
}

std::string TRegistryData::Format(const std::string& rootName) const
{
    std::string out = "REGEDIT4\n";
    for (const auto& key : keys_) {
        out += "\n[" + rootName + (key.path.empty() ? "" : "\\" + key.path) + "]\n";
        for (const auto& v : key.values)
            out += FormatValue(v) + "\n";
    }
    return out;
}

TRegKey* TRegistryData::Find(const std::string& path)
{
    const std::string upper = UpperCase(Normalize(path));
    for (auto& k : keys_)
        if (UpperCase(k.path) == upper)
            return &k;
    return nullptr;
}

TRegKey& TRegistryData::Create(const std::string& path)
{
    const auto parts = SplitPath(path);
    if (parts.empty()) {
        if (auto* k = Find(""))
            return *k;
        keys_.insert(keys_.begin(), TRegKey{});
        return keys_.front();
    }
    TRegKey* key = nullptr;
    for (size_t n = 1; n <= parts.size(); ++n) {
        const std::string sub = JoinPath(parts, n);
        key = Find(sub);
        if (!key) {
            keys_.push_back(TRegKey{sub, {}});
            key = &keys_.back();
        }
    }
    return *key;
}

bool TRegistryData::Remove(const std::string& path)
{
    const std::string upper = UpperCase(Normalize(path));
    if (upper.empty())
        return false;
    const auto before = keys_.size();
    std::erase_if(keys_, [&](const TRegKey& k) {
        const std::string u = UpperCase(k.path);
        return u == upper || IsBelow(u, upper);
    });
    return keys_.size() != before;
}

bool TRegistryData::HasSubKeys(const std::string& path) const
{
    const std::string upper = UpperCase(Normalize(path));
    return std::any_of(keys_.begin(), keys_.end(), [&](const TRegKey& k) { return IsBelow(UpperCase(k.path), upper); });
}

std::vector<std::string> TRegistryData::SubKeyNames(const std::string& path) const
{
    const std::string norm = Normalize(path);
    const std::string upper = UpperCase(norm);
    const size_t depth = SplitPath(norm).size();
    std::vector<std::string> names;
    for (const auto& k : keys_) {
        if (!IsBelow(UpperCase(k.path), upper))
            continue;
        const std::string name = SplitPath(k.path)[depth];
        if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return SameName(n, name); }))
            names.push_back(name);
    }
    return names;
}

fs::path SettingsDirectory()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg && fs::path(xdg).is_absolute())
        return fs::path(xdg) / "tarveshmox";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : ".") / ".config" / "tarveshmox";
}

std::string RootKeyName(TRootKey root)
{
    return root == TRootKey::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_CLASSES_ROOT";
}

void WriteFileAtomically(const fs::path& target, const std::string& content)
{
    fs::path path = target;
    std::error_code ec;
    // Write through a link to the file it names, so the link stays.
    if (fs::is_symlink(path, ec)) {
        fs::path resolved = fs::weakly_canonical(path, ec);
        if (!ec)
            path = resolved;
    }
    const fs::path dir = path.parent_path();
    if (!dir.empty()) {
        fs::create_directories(dir, ec);
        if (ec)
            throw EStreamError("Cannot create folder " + dir.string() + ": " + ec.message());
    }
    const fs::path tmp = dir / ("." + path.filename().string() + ".tmp" + std::to_string(::getpid()));
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw EStreamError("Cannot create file " + path.string() + ": " + std::strerror(errno));
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(tmp.c_str());
        throw EStreamError("Cannot write file " + path.string() + ": " + std::strerror(err));
    };
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0)
        fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        throw EStreamError("Cannot write file " + path.string() + ": " + std::strerror(err));
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        throw EStreamError("Cannot replace file " + path.string() + ": " + std::strerror(err));
    }
}

TRegistry::TRegistry(TRootKey root) : TRegistry(root, SettingsDirectory() / (RootKeyName(root) + ".reg")) {}

TRegistry::TRegistry(TRootKey root, fs::path file) : root_(root), file_(std::move(file)) { Load(); }

void TRegistry::Load()
{
    std::error_code ec;
    if (!fs::exists(file_, ec)) {
        data_ = TRegistryData{};
        return;
    }
    std::ifstream in(file_, std::ios::binary);
    if (!in)
        throw ERegistryException("Cannot read settings file " + file_.string() + ": " + std::strerror(errno));
    std::ostringstream ss;
    ss << in.rdbuf();
    data_.Parse(ss.str(), RootKeyName(root_));
}

void TRegistry::Save()
{
    try {
        WriteFileAtomically(file_, data_.Format(RootKeyName(root_)));
    } catch (const EStreamError& e) {
        throw ERegistryException(e.what());
    }
}

std::string TRegistry::Resolve(const std::string& key) const
{
    if (!key.empty() && key[0] == '\\')
        return Normalize(key);
    if (open_ && !current_.empty())
        return Normalize(current_ + "\\" + key);
    return Normalize(key);
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate)
{
    const std::string path = Resolve(key);
    Load();
    if (TRegKey* k = data_.Find(path)) {
        current_ = k->path;
        open_ = true;
        return true;
    }
    if (!canCreate)
        return false;
    current_ = data_.Create(path).path;
    open_ = true;
    Save();
    return true;
}

void TRegistry::CloseKey()
{
    open_ = false;
    current_.clear();
}

bool TRegistry::KeyExists(const std::string& key)
{
    Load();
    return data_.Find(Resolve(key)) != nullptr;
}

bool TRegistry::DeleteKey(const std::string& key)
{
    const std::string path = Resolve(key);
    Load();
    if (!data_.Remove(path))
        return false;
    Save();
    if (open_ && !data_.Find(current_))
        CloseKey();
    return true;
}

bool TRegistry::HasSubKeys() { return data_.HasSubKeys(current_); }

std::vector<std::string> TRegistry::GetKeyNames() { return data_.SubKeyNames(current_); }

std::vector<std::string> TRegistry::GetValueNames()
{
    std::vector<std::string> names;
    if (TRegKey* k = data_.Find(current_))
        for (const auto& v : k->values)
            names.push_back(v.name);
    return names;
}

TRegKey& TRegistry::CurrentKey()
{
    if (TRegKey* k = data_.Find(current_))
        return *k;
    return data_.Create(current_);
}

TRegValue* TRegistry::FindValue(const std::string& name)
{
    TRegKey* k = data_.Find(current_);
    if (!k)
        return nullptr;
    for (auto& v : k->values)
        if (SameName(v.name, name))
            return &v;
    return nullptr;
}

TRegValue& TRegistry::PutValue(const std::string& name)
{
    if (TRegValue* v = FindValue(name)) {
        *v = TRegValue{v->name, 0, {}, 0, {}};
        return *v;
    }
    TRegKey& k = CurrentKey();
    k.values.push_back(TRegValue{name, 0, {}, 0, {}});
    return k.values.back();
}

bool TRegistry::ValueExists(const std::string& name) { return FindValue(name) != nullptr; }

bool TRegistry::DeleteValue(const std::string& name)
{
    TRegKey* k = data_.Find(current_);
    if (!k)
        return false;
    const auto before = k->values.size();
    std::erase_if(k->values, [&](const TRegValue& v) { return SameName(v.name, name); });
    if (k->values.size() == before)
        return false;
    Save();
    return true;
}

std::optional<uint32_t> TRegistry::GetDataType(const std::string& name)
{
    if (TRegValue* v = FindValue(name))
        return v->type;
    return std::nullopt;
}

static ERegistryException InvalidType(const std::string& name)
{
    return ERegistryException("Invalid data type for '" + name + "'");
}

int32_t TRegistry::ReadInteger(const std::string& name)
{
    TRegValue* v = FindValue(name);
    if (!v || v->type != static_cast<uint32_t>(TRegDataType::DWord))
        throw InvalidType(name);
    return static_cast<int32_t>(v->dword);
}

std::string TRegistry::ReadString(const std::string& name)
{
    TRegValue* v = FindValue(name);
    if (!v)
        return {};
    if (v->type != static_cast<uint32_t>(TRegDataType::String) &&
        v->type != static_cast<uint32_t>(TRegDataType::ExpandString))
        throw InvalidType(name);
    if (v->type == static_cast<uint32_t>(TRegDataType::ExpandString)) {
        std::string s(v->bytes.begin(), v->bytes.end());
        while (!s.empty() && s.back() == '\0')
            s.pop_back();
        return s;
    }
    return v->text;
}

std::vector<uint8_t> TRegistry::ReadBinaryData(const std::string& name)
{
    TRegValue* v = FindValue(name);
    if (!v || v->type != static_cast<uint32_t>(TRegDataType::Binary))
        throw InvalidType(name);
    return v->bytes;
}

void TRegistry::WriteInteger(const std::string& name, int32_t value)
{
    TRegValue& v = PutValue(name);
    v.type = static_cast<uint32_t>(TRegDataType::DWord);
    v.dword = static_cast<uint32_t>(value);
    Save();
}

void TRegistry::WriteString(const std::string& name, const std::string& value)
{
    TRegValue& v = PutValue(name);
    v.type = static_cast<uint32_t>(TRegDataType::String);
    v.text = value;
    Save();
}

void TRegistry::WriteBinaryData(const std::string& name, const std::vector<uint8_t>& value)
{
    TRegValue& v = PutValue(name);
    v.type = static_cast<uint32_t>(TRegDataType::Binary);
    v.bytes = value;
    Save();
}
