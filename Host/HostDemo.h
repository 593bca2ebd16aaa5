// Demo data for a profile: a host callbook, the country dictionary, a current
// log, and a demo logger installation with its registry file.
#pragma once

#include <filesystem>

void CreateDemoProfile(const std::filesystem::path& profile);
