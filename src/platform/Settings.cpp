#include "platform/Settings.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/OutputFile.h"
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
        // The string's terminating zero, when written, is not part of it.
        if (!bytes.empty() && bytes.back() == 0)
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
    case static_cast<uint32_t>(TRegDataType::String): {
        if (v.text.find_first_of("\r\n") == std::string::npos)
            return out + Quote(v.text);
        // A string that cannot stand on one line goes as bytes with its terminating zero, so that zeros at
        // its end read back as they are.
        std::vector<uint8_t> bytes(v.text.begin(), v.text.end());
        bytes.push_back(0);
        return out + "hex(1):" + HexList(bytes);
    }
    case static_cast<uint32_t>(TRegDataType::DWord): {
        if (!v.bytes.empty()) // read as other than four bytes: kept as they were
            return out + "hex(4):" + HexList(v.bytes);
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

size_t TRegistryData::SlotHash::operator()(const Slot& s) const
{
    return std::hash<std::string>()(s.upper) ^ (std::hash<const void*>()(s.owner) * 0x9E3779B97F4A7C15ull);
}

void TRegistryData::Clear()
{
    keys_.clear();
    children_.clear();
    values_.clear();
    keys_.emplace_back(); // the root
    rootExists_ = false;
}

TRegKey* TRegistryData::Child(TRegKey& parent, const std::string& name)
{
    const auto it = children_.find(Slot{&parent, UpperCase(name)});
    return it == children_.end() ? nullptr : it->second;
}

TRegKey& TRegistryData::AddChild(TRegKey& parent, const std::string& name)
{
    TRegKey& key = keys_.emplace_back();
    key.name = name;
    key.parent = &parent;
    parent.children.push_back(&key);
    children_.emplace(Slot{&parent, UpperCase(name)}, &key);
    return key;
}

void TRegistryData::Parse(const std::string& text, const std::string& rootName)
{
    Clear();
    std::istringstream in(text);
    std::string raw;
    TRegKey* current = nullptr; // null outside a section of this root
    const std::string upperRoot = UpperCase(rootName);
    while (std::getline(in, raw)) {
        std::string line = Trim(raw);
        // Hex lists may continue on the next lines after a trailing backslash.
        if (!line.empty() && line.back() == '\\' && IsHexValueLine(line)) {
            while (!line.empty() && line.back() == '\\' && std::getline(in, raw)) {
                line.pop_back();
                while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
                    line.pop_back();
                line += Trim(raw);
            }
        }
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
        TRegValue& slot = PutValue(*current, v.name);
        slot = std::move(v);
    }
}

std::string TRegistryData::Format(const std::string& rootName) const
{
    std::string out = "REGEDIT4\n";
    auto section = [&](const TRegKey& key, const std::string& path) {
        out += "\n[" + rootName + path + "]\n";
        for (const auto& v : key.values)
            out += FormatValue(v) + "\n";
    };
    const TRegKey& root = keys_.front();
    if (rootExists_ && (!root.values.empty() || root.children.empty()))
        section(root, "");
    // Depth first, each key before its sub-keys; `path` holds "\" and the names down to the key on top.
    struct Step {
        const TRegKey* key;
        size_t next;    // index of the next sub-key to visit
        size_t pathLen; // length of `path` before this key's name
    };
    std::vector<Step> stack;
    std::string path;
    if (!root.children.empty())
        stack.push_back({&root, 0, 0});
    while (!stack.empty()) {
        Step& top = stack.back();
        if (top.next == top.key->children.size()) {
            path.resize(top.pathLen);
            stack.pop_back();
            continue;
        }
        const TRegKey* key = top.key->children[top.next++];
        const size_t before = path.size();
        path += '\\';
        path += key->name;
        if (!key->values.empty() || key->children.empty())
            section(*key, path);
        if (key->children.empty())
            path.resize(before);
        else
            stack.push_back({key, 0, before});
    }
    return out;
}

std::string TRegistryData::PathOf(const TRegKey& key)
{
    std::vector<const std::string*> names;
    size_t length = 0;
    for (const TRegKey* k = &key; k && k->parent; k = k->parent) {
        names.push_back(&k->name);
        length += k->name.size() + 1;
    }
    std::string out;
    out.reserve(length);
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (!out.empty())
            out += '\\';
        out += **it;
    }
    return out;
}

TRegKey* TRegistryData::Find(const std::string& path)
{
    const auto parts = SplitPath(path);
    if (parts.empty())
        return rootExists_ ? &keys_.front() : nullptr;
    TRegKey* key = &keys_.front();
    for (const auto& name : parts)
        if (!(key = Child(*key, name)))
            return nullptr;
    return key;
}

TRegKey& TRegistryData::Create(const std::string& path)
{
    TRegKey* key = &keys_.front();
    const auto parts = SplitPath(path);
    if (parts.empty())
        rootExists_ = true;
    for (const auto& name : parts) {
        TRegKey* child = Child(*key, name);
        key = child ? child : &AddChild(*key, name);
    }
    return *key;
}

bool TRegistryData::Remove(const std::string& path)
{
    if (SplitPath(path).empty())
        return false;
    TRegKey* key = Find(path);
    if (!key)
        return false;
    TRegKey& parent = *key->parent;
    std::erase(parent.children, key);
    children_.erase(Slot{&parent, UpperCase(key->name)});
    key->parent = nullptr; // detached, with its sub-keys; nothing reaches them any more
    return true;
}

bool TRegistryData::HasSubKeys(const std::string& path)
{
    if (SplitPath(path).empty())
        return !keys_.front().children.empty();
    const TRegKey* key = Find(path);
    return key && !key->children.empty();
}

std::vector<std::string> TRegistryData::SubKeyNames(const std::string& path)
{
    const TRegKey* key = SplitPath(path).empty() ? &keys_.front() : Find(path);
    std::vector<std::string> names;
    if (key)
        for (const TRegKey* c : key->children)
            names.push_back(c->name);
    return names;
}

TRegValue* TRegistryData::FindValue(TRegKey& key, const std::string& name)
{
    const auto it = values_.find(Slot{&key, UpperCase(name)});
    return it == values_.end() ? nullptr : &key.values[it->second];
}

TRegValue& TRegistryData::PutValue(TRegKey& key, const std::string& name)
{
    const auto [it, fresh] = values_.try_emplace(Slot{&key, UpperCase(name)}, key.values.size());
    if (fresh)
        key.values.push_back(TRegValue{name, 0, {}, 0, {}});
    return key.values[it->second];
}

bool TRegistryData::DeleteValue(TRegKey& key, const std::string& name)
{
    const auto it = values_.find(Slot{&key, UpperCase(name)});
    if (it == values_.end())
        return false;
    const size_t index = it->second;
    values_.erase(it);
    key.values.erase(key.values.begin() + static_cast<std::ptrdiff_t>(index));
    for (size_t i = index; i < key.values.size(); ++i)
        values_[Slot{&key, UpperCase(key.values[i].name)}] = i;
    return true;
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
    // A link to a regular file is written through, so the link stays (linked dotfiles). A link to anything else
    // (a FIFO, a device, a folder, nothing) is replaced itself: its target is never touched.
    if (fs::is_symlink(target, ec) && fs::is_regular_file(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec)
            path = resolved;
    }
    const fs::path dir = path.parent_path();
    if (!dir.empty()) {
        fs::create_directories(dir, ec);
        if (ec)
            throw EStreamError("Cannot create folder " + dir.string() + ": " + ec.message());
    }
    TReplacingFile file(path, 0644);
    file.Stream().WriteBuffer(content.data(), static_cast<int64_t>(content.size()));
    file.Commit(true);
}

TRegistry::TRegistry(TRootKey root) : TRegistry(root, SettingsDirectory() / (RootKeyName(root) + ".reg")) {}

TRegistry::TRegistry(TRootKey root, fs::path file) : root_(root), file_(std::move(file)) { Load(); }

void TRegistry::Load()
{
    // Something other than a regular file in the settings file's place (a folder, a FIFO, a device) holds no
    // settings, as a missing file; it is never opened or waited on. Saving then replaces it or fails.
    std::error_code ec;
    if (!fs::is_regular_file(file_, ec)) {
        data_.Clear();
        return;
    }
    TMemoryStream whole;
    try {
        whole.LoadFromFile(file_.string());
    } catch (const EStreamError& e) {
        throw ERegistryException("Cannot read settings file " + file_.string() + ": " + e.what());
    }
    const std::string text(whole.Bytes().begin(), whole.Bytes().end());
    data_.Parse(text, RootKeyName(root_));
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
        current_ = TRegistryData::PathOf(*k);
        open_ = true;
        return true;
    }
    if (!canCreate)
        return false;
    current_ = TRegistryData::PathOf(data_.Create(path));
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
    return k ? data_.FindValue(*k, name) : nullptr;
}

// The value emptied for a write; a value that exists keeps its place and the spelling of its name.
TRegValue& TRegistry::PutValue(const std::string& name)
{
    TRegValue& v = data_.PutValue(CurrentKey(), name);
    v = TRegValue{v.name, 0, {}, 0, {}};
    return v;
}

bool TRegistry::ValueExists(const std::string& name) { return FindValue(name) != nullptr; }

bool TRegistry::DeleteValue(const std::string& name)
{
    TRegKey* k = data_.Find(current_);
    if (!k || !data_.DeleteValue(*k, name))
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
