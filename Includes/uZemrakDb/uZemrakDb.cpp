#include "Includes/uZemrakDb/uZemrakDb.h"

#include "Platform/Ado/Access.h"
#include "Platform/Ado/Sqlite.h"
#include "Platform/Files/Files.h"
#include "Platform/Registry/Registry.h"
#include "Platform/Registry/WineRegistry.h"
#include "PluginAPI/Plugins/PluginForm.h"

namespace {

constexpr const char* NotInstalledText = "Zemrak_Log3 not installed.\r\nPlugin is not applicable.";
constexpr const char* NotFoundText = "Reference callbook database not found.\r\nPlugin is not applicable.";
constexpr const char* AccessFileText =
    "The logger's database is an Access file:\r\n%s\r\nAccess files are read, never written, here.\r\n"
    "Plugin is not applicable.";
constexpr const char* FatalCaption = "Fatal error";
constexpr int ErrorKind = 1;

bool Refuse(TPluginDialog& dialog, const char* text)
{
    dialog.MessageBox(text, FatalCaption, ErrorKind);
    dialog.Close();
    return false;
}

} // namespace

std::string ReadInstallPath()
{
    TRegistry registry;
    if (!registry.OpenKeyReadOnly("Software\\Zemrak_Log3")) return {};
    return registry.ReadString("InstallPath");
}

bool CheckInstallation(TPluginDialog& dialog, const std::string& relativeFile, std::string& path)
{
    const std::string installPath = ReadInstallPath();
    if (installPath.empty()) return Refuse(dialog, NotInstalledText);
    // Joined as is: the value ends with its separator.
    std::string file = installPath + relativeFile;
    // The logger's files are named as on Windows, without regard to case.
    if (!FileExists(file) && !file.empty() && file.front() == '/') file = ResolvePathNoCase("/", file.substr(1));
    if (!FileExists(file)) return Refuse(dialog, NotFoundText);
    path = file;
    return true;
}

bool CheckWritableDatabase(TPluginDialog& dialog, const std::string& path)
{
    if (!IsAccessFile(path)) return true;
    // The path goes where the text has its place holder.
    const std::string_view pattern = AccessFileText;
    const std::size_t at = pattern.find("%s");
    const std::string text = std::string(pattern.substr(0, at)) + path + std::string(pattern.substr(at + 2));
    dialog.MessageBox(text, FatalCaption, ErrorKind);
    dialog.Close();
    return false;
}

void RunStatement(TADOConnection& connection, const std::string& statement)
{
    TADOQuery query(&connection);
    query.ParamCheck = false;
    query.EnableBCD = false;
    query.SQL.Add(statement);
    query.ExecSQL();
}

bool ExecStatement(TADOConnection& connection, const std::string& statement)
{
    try {
        RunStatement(connection, statement);
    } catch (const EOleException& error) {
        if (error.ErrorCode() == kSqliteStatementError) return false;
        throw;
    }
    return true;
}
