// Demo data for a new profile: a host callbook, the country dictionary, a
// current log, and a demo logger installation with its registry file.
#pragma once

#include <filesystem>

// dataFolder holds cty.dat and prefix_to_entitycode.csv (installed beside
// hamhost in data/); the dictionary is filled from them when it is empty.
// Refuses a profile that already holds callbook or log rows, or a logger
// installation, so no user data is ever overwritten.
void CreateDemoProfile(const std::filesystem::path& profile, const std::filesystem::path& dataFolder);
