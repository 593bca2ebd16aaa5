// Filling benchmark databases with generated rows, in one transaction.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Jet-dialect statements into a host database, opened as the host opens it.
void FillHostDatabase(const std::filesystem::path& file, const std::vector<std::string>& jet);
// Jet-dialect statements into a logger file (plain SQLite).
void FillLoggerDatabase(const std::filesystem::path& file, const std::vector<std::string>& jet);

struct TStation;
class TDataGenerator;

// count stations of which `known` are host stations (spread over the host's
// list) as another source knows them, the rest new.
std::vector<TStation> OverlappingStations(TDataGenerator& gen, const std::vector<TStation>& host, std::size_t count,
                                          std::size_t known);
// The stations into a host callbook, after the statements in `before`.
void FillHostCallbook(const std::filesystem::path& hostDb, const std::vector<TStation>& stations,
                      std::vector<std::string> before = {});
// A new logger callbook file holding the stations.
void WriteLoggerCallbook(const std::filesystem::path& file, const std::vector<TStation>& stations);
// A logger installation folder work/zemrak (with db/) that the plug-ins find:
// a registry file naming it, used by this process.
std::filesystem::path CreateLoggerInstallation(const std::filesystem::path& work);
