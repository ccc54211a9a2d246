#include "app/FileAssociation.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Paths.h"
#include "platform/Settings.h"

namespace fs = std::filesystem;

extern char** environ;

const char* const kAssociatedExtensions[3] = {".bf", ".fat", ".sb0"};
const char* const kDefaultFileClass = "GameDataFile";
const char* const kFileClassDescription = "Game Data File";
const char* const kExecutableName = "TarveshMox";

namespace {

const char* const kOpenVerb = "Tarvesh Mox";
const char* const kExtractVerb = "Extract All";
const char* const kDesktopFileName = "tarveshmox.desktop";
const char* const kMimePackageName = "tarveshmox.xml";

std::string XmlEscape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// Runs a tool found on PATH with its output discarded and waits for it; a missing tool is no error.
void RunQuietly(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

bool IsEmptyKey(TRegistry& reg, const std::string& key)
{
    if (!reg.OpenKey(key, false))
        return false;
    return reg.GetValueNames().empty() && !reg.HasSubKeys();
}

void DeleteKeyIfEmpty(TRegistry& reg, const std::string& key)
{
    if (IsEmptyKey(reg, key))
        reg.DeleteKey(key);
}

// Deletes a string value when it holds what registering wrote.
void DeleteOwnString(TRegistry& reg, const std::string& key, const std::string& name, const std::string& data)
{
    if (!reg.OpenKey(key, false))
        return;
    const auto type = reg.GetDataType(name);
    if (type && *type == static_cast<uint32_t>(TRegDataType::String) && reg.ReadString(name) == data)
        reg.DeleteValue(name);
}

} // namespace

fs::path DataHome()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg && fs::path(xdg).is_absolute())
        return xdg;
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : ".") / ".local" / "share";
}

fs::path RunningProgramFolder()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return fs::current_path(ec);
    return exe.parent_path();
}

std::string MimeTypeOfClass(const std::string& className)
{
    std::string sub;
    for (char c : LowerCase(className))
        sub += (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+') ? c : '-';
    return "application/x-" + (sub.empty() ? std::string("gamedatafile") : sub);
}

std::string DesktopExecArgument(const std::string& arg)
{
    // Quote the argument, escape the characters special inside quotes, then apply the string escaping of the
    // entry format (backslash doubled) and protect '%' from field-code expansion.
    std::string quoted = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string out;
    for (char c : quoted) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '%')
            out += "%%";
        else
            out += c;
    }
    return out;
}

std::string TFileAssociation::Executable() const { return (programFolder / kExecutableName).string(); }
std::string TFileAssociation::IconValue() const { return "\"" + Executable() + "\",0"; }
std::string TFileAssociation::OpenCommand() const { return "\"" + Executable() + "\" \"%1\""; }
std::string TFileAssociation::ExtractCommand() const { return OpenCommand() + " x"; }
fs::path TFileAssociation::DesktopFile() const { return dataHome / "applications" / kDesktopFileName; }
fs::path TFileAssociation::MimePackage() const { return dataHome / "mime" / "packages" / kMimePackageName; }

void TFileAssociation::Register()
{
    std::vector<std::string> classOf;
    for (const char* ext : kAssociatedExtensions) {
        classes.OpenKey(std::string("\\") + ext, true);
        std::string c = classes.ReadString("");
        if (c.empty()) {
            classes.WriteString("", kDefaultFileClass);
            c = kDefaultFileClass;
        }
        classOf.push_back(c);
    }
    for (const auto& c : classOf) {
        const std::string key = "\\" + c;
        classes.OpenKey(key, true);
        classes.WriteString("", kFileClassDescription);
        classes.WriteBinaryData("EditFlags", {0, 0, 0, 0});
        classes.OpenKey(key + "\\DefaultIcon", true);
        classes.WriteString("", IconValue());
        classes.OpenKey(key + "\\shell", true);
        classes.WriteString("", kOpenVerb);
        classes.OpenKey(key + "\\shell\\" + kOpenVerb + "\\command", true);
        classes.WriteString("", OpenCommand());
        classes.OpenKey(key + "\\shell\\" + kExtractVerb + "\\command", true);
        classes.WriteString("", ExtractCommand());
    }
    classes.CloseKey();

    // The desktop side: one MIME type per class, globbing the extensions that carry it.
    std::vector<std::string> mimeTypes;
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (size_t i = 0; i < classOf.size(); ++i) {
        const std::string type = MimeTypeOfClass(classOf[i]);
        if (std::find(mimeTypes.begin(), mimeTypes.end(), type) != mimeTypes.end())
            continue;
        mimeTypes.push_back(type);
        xml += "  <mime-type type=\"" + XmlEscape(type) + "\">\n";
        xml += "    <comment>" + XmlEscape(kFileClassDescription) + "</comment>\n";
        for (size_t j = i; j < classOf.size(); ++j)
            if (MimeTypeOfClass(classOf[j]) == type)
                xml += std::string("    <glob pattern=\"*") + kAssociatedExtensions[j] + "\"/>\n";
        xml += "  </mime-type>\n";
    }
    xml += "</mime-info>\n";

    const std::string exe = DesktopExecArgument(Executable());
    std::string desktop = "[Desktop Entry]\n"
                          "Type=Application\n"
                          "Version=1.0\n"
                          "Name=Tarvesh Mox\n";
    desktop += std::string("Comment=") + kFileClassDescription + "\n";
    desktop += "Exec=" + exe + " %f\n";
    desktop += "Terminal=false\n"
               "Categories=Utility;\n";
    desktop += "MimeType=";
    for (const auto& t : mimeTypes)
        desktop += t + ";";
    desktop += "\nActions=ExtractAll;\n\n"
               "[Desktop Action ExtractAll]\n";
    desktop += std::string("Name=") + kExtractVerb + "\n";
    desktop += "Exec=" + exe + " %f x\n";

    WriteFileAtomically(MimePackage(), xml);
    WriteFileAtomically(DesktopFile(), desktop);
    if (refreshDesktop) {
        RunQuietly({"update-mime-database", (dataHome / "mime").string()});
        RunQuietly({"update-desktop-database", (dataHome / "applications").string()});
    }
}

void TFileAssociation::Unregister()
{
    for (const char* ext : kAssociatedExtensions) {
        const std::string extKey = std::string("\\") + ext;
        if (!classes.OpenKey(extKey, false))
            continue;
        const std::string c = classes.ReadString("");
        if (c.empty())
            continue;
        const std::string key = "\\" + c;
        if (classes.KeyExists(key)) {
            classes.DeleteKey(key + "\\shell\\" + kOpenVerb);
            classes.DeleteKey(key + "\\shell\\" + kExtractVerb);
            DeleteOwnString(classes, key + "\\shell", "", kOpenVerb);
            DeleteKeyIfEmpty(classes, key + "\\shell");
            DeleteOwnString(classes, key + "\\DefaultIcon", "", IconValue());
            DeleteKeyIfEmpty(classes, key + "\\DefaultIcon");
            DeleteOwnString(classes, key, "", kFileClassDescription);
            if (classes.OpenKey(key, false)) {
                const auto type = classes.GetDataType("EditFlags");
                if (type && *type == static_cast<uint32_t>(TRegDataType::Binary) &&
                    classes.ReadBinaryData("EditFlags") == std::vector<uint8_t>{0, 0, 0, 0})
                    classes.DeleteValue("EditFlags");
            }
            DeleteKeyIfEmpty(classes, key);
        }
        // The class this program gave the extension goes once nothing is left of it.
        if (UpperCase(c) == UpperCase(kDefaultFileClass) && !classes.KeyExists(key)) {
            DeleteOwnString(classes, extKey, "", c);
            DeleteKeyIfEmpty(classes, extKey);
        }
    }
    classes.CloseKey();

    std::error_code ec;
    const bool hadPackage = fs::remove(MimePackage(), ec);
    fs::remove(DesktopFile(), ec);
    if (refreshDesktop) {
        if (hadPackage)
            RunQuietly({"update-mime-database", (dataHome / "mime").string()});
        if (fs::exists(dataHome / "applications", ec))
            RunQuietly({"update-desktop-database", (dataHome / "applications").string()});
    }
}
