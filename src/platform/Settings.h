// Settings store with the registry's model: each root holds keys, each key holds typed values (DWORD, string,
// binary, or raw bytes of another type). A root is kept as one REGEDIT4-style text file under
// $XDG_CONFIG_HOME/tarveshmox/ (default ~/.config/tarveshmox/). Key paths use '\' as separator; key and value
// names are compared without regard to ASCII case. Every change rewrites the root's file atomically.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
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

struct TRegKey {
    std::string path; // components joined with '\', as first written
    std::vector<TRegValue> values;
};

// One root's keys and values, with the text format.
class TRegistryData {
public:
    // Parses REGEDIT4 text. Lines that cannot be understood are skipped; sections of another root are ignored.
    void Parse(const std::string& text, const std::string& rootName);
    std::string Format(const std::string& rootName) const;

    TRegKey* Find(const std::string& path);
    TRegKey& Create(const std::string& path); // with every missing parent
    bool Remove(const std::string& path);     // the key and its sub-keys
    bool HasSubKeys(const std::string& path) const;
    std::vector<std::string> SubKeyNames(const std::string& path) const;
    const std::vector<TRegKey>& Keys() const { return keys_; }

private:
    std::vector<TRegKey> keys_;
};

// The folder of the settings files.
std::filesystem::path SettingsDirectory();
std::string RootKeyName(TRootKey root); // "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT"

// Writes a whole file through a temporary file in the same folder and a rename, creating the folder when missing;
// raises EStreamError (naming the file and the reason) and leaves no temporary file behind on failure.
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
