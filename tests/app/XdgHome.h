// Points the settings store and the desktop files at a fresh temporary home for one test.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "support/TempDir.h"

class XdgHome {
public:
    XdgHome() : oldConfig_(Get("XDG_CONFIG_HOME")), oldData_(Get("XDG_DATA_HOME"))
    {
        setenv("XDG_CONFIG_HOME", (dir_.path() / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir_.path() / "data").c_str(), 1);
    }
    ~XdgHome()
    {
        Restore("XDG_CONFIG_HOME", oldConfig_);
        Restore("XDG_DATA_HOME", oldData_);
    }
    std::filesystem::path Config() const { return dir_.path() / "config"; }
    std::filesystem::path Data() const { return dir_.path() / "data"; }
    std::filesystem::path UserFile() const { return Config() / "tarveshmox" / "HKEY_CURRENT_USER.reg"; }
    std::filesystem::path ClassesFile() const { return Config() / "tarveshmox" / "HKEY_CLASSES_ROOT.reg"; }
    const TempDir& Dir() const { return dir_; }

private:
    static std::optional<std::string> Get(const char* name)
    {
        const char* v = std::getenv(name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    }
    static void Restore(const char* name, const std::optional<std::string>& v)
    {
        if (v)
            setenv(name, v->c_str(), 1);
        else
            unsetenv(name);
    }
    TempDir dir_;
    std::optional<std::string> oldConfig_, oldData_;
};
