// Names from data files: 8-bit Windows-1252 text with '\' (or '/') as folder separator.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

// Windows-1252 bytes to UTF-8 text (for display and for making paths).
std::string Win1252ToUtf8(std::string_view bytes);

// How a name's bytes are taken when a path is made: Windows-1252 bytes from a data file, or text that is
// already in the file system's encoding (decoded where it came from data, or given by the system).
enum class NameBytes { Win1252, FileSystem };

// The path under `base` for a stored relative name. Separators may be '\' or '/'. Components that would leave
// `base` are made safe: empty and "." components are dropped, ".." becomes "__", a drive prefix (a letter A to Z
// or a to z and ":") loses its colon; a leading separator does not make the name absolute. An all-empty name
// yields "_". A folder or file name longer than its file system takes (in bytes) is shortened by FitName;
// `shortened`, when given, tells whether that happened. A path longer than the system takes raises EStreamError
// (the error its create would give), and the cost is linear in the name's length.
std::filesystem::path SafeJoin(const std::filesystem::path& base, std::string_view storedName,
                               NameBytes bytes = NameBytes::Win1252, bool* shortened = nullptr);

// `name` (UTF-8) shortened to at most `limit` bytes: its start in whole characters, then "~" and 8 hex digits of a
// fixed hash of the whole name, then the extension (from the last dot after the first character) when that leaves
// room for a character before the mark. Distinct names stay apart, and a name is shortened alike on every run.
std::string FitName(const std::string& name, size_t limit);

// The longest start of `s` of at most `n` bytes that does not cut a UTF-8 character in two.
std::string Utf8Prefix(std::string_view s, size_t n);

// The longest name in bytes that the file system of `folder` takes; a folder that does not exist yet takes what
// its nearest existing parent takes.
size_t NameMax(const std::filesystem::path& folder);

// True when a stored name names no file: nothing but separators and "." components.
bool IsEmptyName(std::string_view storedName);

// Names in folders up to the letter case of a to z, for names from data made on a case-insensitive file system.
// Each folder is listed once per object.
class TNameCase {
public:
    // The entry of `folder` named `name` but for letter case (the exact name first); empty when there is none.
    std::string Find(const std::filesystem::path& folder, const std::string& name);

private:
    std::map<std::filesystem::path, std::unordered_map<std::string, std::string>> folders_;
};

// The file that a stored name refers to for reading, relative to `base`: '\' or '/' separate folders, the bytes
// are Windows-1252, ".." climbs, a leading separator or drive letter starts at the root. Where a folder or file of
// the exact name is missing, one that differs only in letter case is taken (`cache` keeps folder listings between
// calls; null lists afresh).
std::filesystem::path ResolveStoredPath(const std::filesystem::path& base, std::string_view storedName,
                                        TNameCase* cache = nullptr);

// Delphi-style helpers on names held as strings ('\' and '/' both count as separators).
std::string ChangeFileExt(const std::string& name, const std::string& ext); // ext includes the dot, or is empty
std::string ExtractFileName(const std::string& name);                       // after the last separator
std::string ExtractFilePath(const std::string& name);                       // up to and including the last separator
std::string ExtractFileExt(const std::string& name);                        // from the last dot of the file name
std::string UpperCase(std::string s);                                       // ASCII only
std::string LowerCase(std::string s);                                       // ASCII only
std::string IntToHex(uint32_t value, int digits);                           // upper-case, zero padded
