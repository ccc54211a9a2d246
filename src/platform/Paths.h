// Names from data files: 8-bit Windows-1252 text with '\' (or '/') as folder separator.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// Windows-1252 bytes to UTF-8 text (for display and for making paths).
std::string Win1252ToUtf8(std::string_view bytes);

// How a name's bytes are taken when a path is made: Windows-1252 bytes from a data file, or text that is
// already in the file system's encoding (decoded where it came from data, or given by the system).
enum class NameBytes { Win1252, FileSystem };

// The path under `base` for a stored relative name. Separators may be '\' or '/'. Components that would leave
// `base` are made safe: empty and "." components are dropped, ".." becomes "__", a drive prefix "C:" loses its
// colon; a leading separator does not make the name absolute. An all-empty name yields "_".
std::filesystem::path SafeJoin(const std::filesystem::path& base, std::string_view storedName,
                               NameBytes bytes = NameBytes::Win1252);

// Delphi-style helpers on names held as strings ('\' and '/' both count as separators).
std::string ChangeFileExt(const std::string& name, const std::string& ext); // ext includes the dot, or is empty
std::string ExtractFileName(const std::string& name);                       // after the last separator
std::string ExtractFilePath(const std::string& name);                       // up to and including the last separator
std::string ExtractFileExt(const std::string& name);                        // from the last dot of the file name
std::string UpperCase(std::string s);                                       // ASCII only
std::string LowerCase(std::string s);                                       // ASCII only
std::string IntToHex(uint32_t value, int digits);                           // upper-case, zero padded
