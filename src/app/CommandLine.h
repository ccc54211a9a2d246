// The program's command line: FILE opens an archive in the explorer; FILE x (or X) also extracts every entry.
#pragma once

#include <string>
#include <vector>

struct TCommandLine {
    bool open = false;       // the first argument names an existing file
    bool extractAll = false; // ... and there are exactly two arguments, the second "x" in either case
    std::string fileName;
};

// args are the arguments after the program name.
TCommandLine ReadCommandLine(const std::vector<std::string>& args);
