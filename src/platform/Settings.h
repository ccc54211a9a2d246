// Settings store with the registry's model: each root holds keys, each key holds typed values (DWORD, string,
// binary, or raw bytes of another type). A root is kept as one REGEDIT4-style text file under
// $XDG_CONFIG_HOME/tarveshmox/ (default ~/.config/tarveshmox/). Key paths use '\' as separator; key and value
// names are compared without regard to ASCII case. Every change rewrites the root's file atomically.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TRootKey { CurrentUser, ClassesRoot };

// Registry value types (the numbers are the registry's own).
enum class TRegDataType : uint32_t { None = 0, String = 1, ExpandString = 2, Binary = 3, DWord = 4, MultiString = 7 };

struct TRegValue {
    std::string name;           // empty: the key's default (unnamed) value
    uint32_t type = 0;          // a TRegDataType number, or any other type read from a file
    std::string text;           // String
    uint32_t dword = 0;         // DWord
    std::vector<uint8_t> bytes; // every other type
};

// A key: its own name, its sub-keys and its values, each in the order they were first written.
struct TRegKey {
    std::string name;              // as first written; empty for the root
    TRegKey* parent = nullptr;     // null for the root
    std::vector<TRegKey*> children;
    std::vector<TRegValue> values;
};

// One root's keys and values, with the text format. Keys form a tree; a path names a key by the names from the
// root down, joined with '\'. Names are found through hash tables, so a look-up costs the length of its path and
// parsing costs the length of the text, however deep the keys.
//
// The text holds one section per key that has values or no sub-keys: a key with sub-keys and no values is
// implied by them (a reader creates the parents of every key it reads). Parsing the text a key gives back
// the same keys and values in the same order, so the text of parsed text is that text again.
class TRegistryData {
public:
    TRegistryData() { Clear(); }
    // Keys refer to each other: moving keeps them where they are (a moved-from object only goes away).
    TRegistryData(TRegistryData&&) = default;
    TRegistryData& operator=(TRegistryData&&) = default;
    TRegistryData(const TRegistryData&) = delete;
    TRegistryData& operator=(const TRegistryData&) = delete;

    void Clear();
    // Parses REGEDIT4 text. Lines that cannot be understood are skipped; sections of another root are ignored.
    void Parse(const std::string& text, const std::string& rootName);
    std::string Format(const std::string& rootName) const;

    TRegKey* Find(const std::string& path);
    TRegKey& Create(const std::string& path); // with every missing parent
    bool Remove(const std::string& path);     // the key and its sub-keys
    bool HasSubKeys(const std::string& path);
    std::vector<std::string> SubKeyNames(const std::string& path);
    // The key's path: its name and those of its parents, joined with '\'.
    static std::string PathOf(const TRegKey& key);

    TRegValue* FindValue(TRegKey& key, const std::string& name);
    // The value of that name, appended (with that name and nothing else set) when the key has none.
    TRegValue& PutValue(TRegKey& key, const std::string& name);
    bool DeleteValue(TRegKey& key, const std::string& name);

private:
    // A name within its key (a sub-key's or a value's), upper-cased.
    struct Slot {
        const TRegKey* owner;
        std::string upper;
        bool operator==(const Slot&) const = default;
    };
    struct SlotHash {
        size_t operator()(const Slot& s) const;
    };

    TRegKey* Child(TRegKey& parent, const std::string& name);
    TRegKey& AddChild(TRegKey& parent, const std::string& name);

    std::deque<TRegKey> keys_; // every key made since the last Clear; removed ones are detached from the tree
    bool rootExists_ = false;  // the root key itself was created or read
    std::unordered_map<Slot, TRegKey*, SlotHash> children_;
    std::unordered_map<Slot, size_t, SlotHash> values_; // index into the owner's values
};

// The folder of the settings files.
std::filesystem::path SettingsDirectory();
std::string RootKeyName(TRootKey root); // "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT"

// Writes a whole file through a temporary file in the same folder and a rename, creating the folder when missing;
// raises EStreamError (naming the file and the reason) and leaves no temporary file behind on failure. A link to
// a regular file is kept and its target replaced; a link to anything else is replaced by the file.
void WriteFileAtomically(const std::filesystem::path& path, const std::string& content);

// Registry access in the manner of the window system's registry class: open a key, then read or write its values.
// The root's file is read when a key is opened; each change is written back at once.
class TRegistry {
public:
    explicit TRegistry(TRootKey root = TRootKey::CurrentUser);
    // A root kept in a given file (tests, tools).
    TRegistry(TRootKey root, std::filesystem::path file);

    // A key beginning with '\' is taken from the root, any other from the current key.
    bool OpenKey(const std::string& key, bool canCreate);
    bool OpenKeyReadOnly(const std::string& key) { return OpenKey(key, false); }
    void CloseKey();
    const std::string& CurrentPath() const { return current_; }
    bool HasCurrentKey() const { return open_; }

    bool KeyExists(const std::string& key);
    bool DeleteKey(const std::string& key);
    bool HasSubKeys();
    std::vector<std::string> GetKeyNames();
    std::vector<std::string> GetValueNames();

    bool ValueExists(const std::string& name);
    bool DeleteValue(const std::string& name);
    std::optional<uint32_t> GetDataType(const std::string& name);

    // Reads raise ERegistryException for a value of another type; ReadInteger and ReadBinaryData also for a
    // missing value, ReadString gives "" for it.
    int32_t ReadInteger(const std::string& name);
    bool ReadBool(const std::string& name) { return ReadInteger(name) != 0; }
    std::string ReadString(const std::string& name);
    std::vector<uint8_t> ReadBinaryData(const std::string& name);

    void WriteInteger(const std::string& name, int32_t value);
    void WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }
    void WriteString(const std::string& name, const std::string& value);
    void WriteBinaryData(const std::string& name, const std::vector<uint8_t>& value);

    const std::filesystem::path& FileName() const { return file_; }

private:
    void Load();
    void Save();
    TRegKey& CurrentKey();
    TRegValue* FindValue(const std::string& name);
    TRegValue& PutValue(const std::string& name);
    std::string Resolve(const std::string& key) const;

    TRootKey root_;
    std::filesystem::path file_;
    TRegistryData data_;
    std::string current_;
    bool open_ = false;
};
