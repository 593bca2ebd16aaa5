// Where the running program and the files that travel with it are: the
// build tree keeps plug-ins and data beside the executables (bin/, bin/data),
// an installed tree keeps them in their own folders relative to bin/, so a
// tree unpacked or installed under any prefix works.
#pragma once

#include <filesystem>

// The folder of the running executable (its real path, links resolved).
std::filesystem::path ProgramFolder();
// The shipped data files: <program folder>/data in the build tree, else the
// installed data folder (../share/hamhost from bin/).
std::filesystem::path ProgramDataFolder();
// The plug-in libraries: the installed plug-in folder (../lib/hamhost from
// bin/) when it exists, else the program folder (the build tree).
std::filesystem::path ProgramPluginFolder();
