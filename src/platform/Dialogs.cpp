#include "platform/Dialogs.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {
// The folder of a file, made absolute against the current folder of now: it changes when archives are extracted.
std::string FolderOf(const std::string& file)
{
    std::error_code ec;
    const fs::path full = fs::absolute(fs::path(file), ec);
    return (ec ? fs::path(file) : full).parent_path().string();
}
} // namespace

std::optional<std::string> Dialogs::Chosen(std::optional<std::string> file)
{
    if (file && !file->empty())
        lastFolder_ = FolderOf(*file);
    return file;
}

std::string Dialogs::StartFolder() const
{
    if (!lastFolder_.empty())
        return lastFolder_;
    std::error_code ec;
    return fs::current_path(ec).string();
}

std::optional<std::string> Dialogs::OpenFile(const FileDialogSpec& request)
{
    return Chosen(RunOpenDialog(request, StartFolder()));
}

std::optional<std::string> Dialogs::SaveFile(const FileDialogSpec& request)
{
    const bool hasFolder = fs::path(request.fileName).has_parent_path();
    return Chosen(RunSaveDialog(request, hasFolder ? FolderOf(request.fileName) : StartFolder()));
}
