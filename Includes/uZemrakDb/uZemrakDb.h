// The logger's installation and data files: where they are, the check a
// dialog runs when it opens, and running statements on them.
#pragma once

#include "Platform/Ado/Ado.h"

#include <string>

class TPluginDialog;

// Folder files of the logger's installation, relative to its InstallPath.
inline constexpr const char* ReferenceDatabaseFile = "db/DB.mdb"; // "db" + PathDelim + "DB.mdb"
inline constexpr const char* LogDatabaseFile = "db/logs.mdb";

// HKEY_CURRENT_USER\Software\Zemrak_Log3, value "InstallPath"; empty when the
// key or the value is missing.
std::string ReadInstallPath();

// The check a dialog runs at activation: InstallPath + relativeFile must
// exist (its parts found without regard to letter case, as on Windows). Shows the "not installed" or "not found"
// message and closes the dialog when it fails (answers false); otherwise answers the full path.
bool CheckInstallation(TPluginDialog& dialog, const std::string& relativeFile, std::string& path);

// The check a dialog that writes into the logger's file runs after
// CheckInstallation: an Access database cannot be written here, so it is
// refused with a message that says so, and the dialog closes (answers false).
bool CheckWritableDatabase(TPluginDialog& dialog, const std::string& path);

// Runs one INSERT, UPDATE, DELETE, SELECT ... INTO or DROP statement in the
// Jet dialect; the provider's error as EOleException.
void RunStatement(TADOConnection& connection, const std::string& statement);
// The same, but true when it ran and false when the database refused the
// statement itself (a constraint, its syntax). Errors of the file (locked,
// read-only, full, damaged) go to the caller: every later statement would
// fail the same way.
bool ExecStatement(TADOConnection& connection, const std::string& statement);

// Note keywords, matched at the very start of a word, exact case.
namespace NoteKeyword {
inline constexpr const char* Aka = "Aka:";
inline constexpr const char* Skype = "Skype:";
inline constexpr const char* Email = "Email:";
inline constexpr const char* Bureau = "Bureau:";
inline constexpr const char* Direct = "Direct:";
inline constexpr const char* LotW = "LotW:";
inline constexpr const char* eQSL = "eQSL:";
inline constexpr const char* Born = "Born:";
inline constexpr const char* SK = "SK:";
inline constexpr const char* New = "New:";
inline constexpr const char* Ex = "Ex:";
} // namespace NoteKeyword
