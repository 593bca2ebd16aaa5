// Update packages built for the import tests (a real SQLite DB.mdb with the
// logger's callbook layout inside a real ZIP archive) and a loopback HTTP
// server that serves them.
#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/Support/LoopbackServer.h"

namespace fs = std::filesystem;

// One row of the package's CALLBOOK; nothing stands for NULL.
struct TPackageRow {
    using Text = std::optional<std::string>;
    TPackageRow(std::string call, Text name = {}, Text qth = {}, Text grid = {}, Text state = {}, Text manager = {},
                Text note = {}, std::optional<bool> checked = {})
        : Call(std::move(call)), Name(std::move(name)), Qth(std::move(qth)), Grid(std::move(grid)),
          State(std::move(state)), Manager(std::move(manager)), Note(std::move(note)), Checked(checked)
    {
    }
    std::string Call;
    std::optional<std::string> Name, Qth, Grid, State, Manager, Note;
    std::optional<bool> Checked;
};

// A logger callbook database file holding rows.
void WritePackageDatabase(const fs::path& path, const std::vector<TPackageRow>& rows);
// A ZIP archive holding the file content under entryName, stamped with the
// given local time (yyyy, mm, dd, hh, nn).
void WriteZip(const fs::path& zipPath, const std::string& entryName, const std::string& content, int year = 2024,
              int month = 3, int day = 17, int hour = 9, int minute = 41);
// A package: rows in a DB.mdb inside zipPath.
void WritePackage(const fs::path& zipPath, const std::vector<TPackageRow>& rows);
std::string ReadBinary(const fs::path& path);

// Names in a folder.
std::vector<std::string> Listing(const fs::path& folder);
