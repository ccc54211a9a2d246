// File-type association for .bf, .fat and .sb0: the classes in the per-user classes root of the settings
// store, and for the desktop a freedesktop .desktop entry plus a shared-mime-info package under $XDG_DATA_HOME.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class TRegistry;

extern const char* const kAssociatedExtensions[3]; // ".bf", ".fat", ".sb0"
extern const char* const kDefaultFileClass;        // "GameDataFile"
extern const char* const kFileClassDescription;    // "Game Data File"
extern const char* const kExecutableName;          // "TarveshMox"

// $XDG_DATA_HOME, or ~/.local/share.
std::filesystem::path DataHome();
// The folder of the running program's executable, links resolved.
std::filesystem::path RunningProgramFolder();

struct TFileAssociation {
    TRegistry& classes;                 // the classes root
    std::filesystem::path programFolder; // folder of the executable named by the verbs
    std::filesystem::path dataHome;      // where the desktop entry and the MIME package go
    bool refreshDesktop = true;          // run the desktop's database tools when present

    std::string Executable() const;     // programFolder / kExecutableName
    std::string IconValue() const;      // "\"<exe>\",0"
    std::string OpenCommand() const;    // "\"<exe>\" \"%1\""
    std::string ExtractCommand() const; // OpenCommand() + " x"
    std::filesystem::path DesktopFile() const;
    std::filesystem::path MimePackage() const;

    // Gives each extension its class (keeping one it already has), writes the classes' keys and tells the desktop.
    void Register();
    // Undoes what Register wrote.
    void Unregister();
};

// The MIME type that stands for a class name: "application/x-" + the name in lower case.
std::string MimeTypeOfClass(const std::string& className);
// One argument of a desktop entry's Exec key, quoted and escaped.
std::string DesktopExecArgument(const std::string& arg);
