// Filling benchmark databases with generated rows, in one transaction.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Jet-dialect statements into a host database, opened as the host opens it.
void FillHostDatabase(const std::filesystem::path& file, const std::vector<std::string>& jet);
// Jet-dialect statements into a logger file (plain SQLite).
void FillLoggerDatabase(const std::filesystem::path& file, const std::vector<std::string>& jet);
