#include "Includes/uZemrakDb/uZemrakDb.h"

#include "PluginAPI/Plugins/PluginForm.h"
#include "Platform/Files/Files.h"
#include "Platform/Registry/Registry.h"

namespace {

constexpr const char* NotInstalledText = "Zemrak_Log3 not installed.\r\nPlugin is not applicable.";
constexpr const char* NotFoundText = "Reference callbook database not found.\r\nPlugin is not applicable.";
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
    const std::string file = installPath + relativeFile;
    if (!FileExists(file)) return Refuse(dialog, NotFoundText);
    path = file;
    return true;
}

bool ExecStatement(TADOConnection& connection, const std::string& statement)
{
    TADOQuery query(&connection);
    query.ParamCheck = false;
    query.EnableBCD = false;
    query.SQL.Clear();
    query.SQL.Add(statement);
    try {
        query.ExecSQL();
    } catch (const EOleException&) {
        return false;
    }
    return true;
}
