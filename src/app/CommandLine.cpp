#include "app/CommandLine.h"

#include <filesystem>

TCommandLine ReadCommandLine(const std::vector<std::string>& args)
{
    TCommandLine cmd;
    if (args.empty() || args[0].empty())
        return cmd;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(args[0], ec))
        return cmd; // a name that is no existing file is ignored, and a second argument with it
    cmd.open = true;
    cmd.fileName = args[0];
    cmd.extractAll = args.size() == 2 && (args[1] == "x" || args[1] == "X");
    return cmd;
}
