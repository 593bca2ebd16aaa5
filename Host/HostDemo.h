// Demo data for a new profile: a host callbook, the country dictionary, a
// current log, and a demo logger installation with its registry file.
#pragma once

#include <filesystem>

// dataFolder holds dictionary.sql (installed beside hamhost in data/).
// Refuses a profile that already holds callbook, dictionary or log rows, or
// a logger installation, so no user data is ever overwritten.
void CreateDemoProfile(const std::filesystem::path& profile, const std::filesystem::path& dataFolder);
