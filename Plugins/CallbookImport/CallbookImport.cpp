// Entry unit: the library's values and its two exports.
#include "Platform/OleAuto/OleAuto.h"
#include "PluginAPI/Plugins/PluginEntry.h"
#include "Plugins/CallbookImport/uImpZemrak.h"

namespace {

// Where the update service publishes its packages.
constexpr const char* UpdateServiceLink = "https://zemrak-updates.example.org";
constexpr const char* UpdateArchiveLink = "https://zemrak-updates.example.org/files/DB.zip";

TPluginValues Values()
{
    TPluginValues v;
    v.ID = {0xE17AD245, 0x4828, 0x48E9, {0xB7, 0x86, 0x1E, 0x8C, 0x08, 0x50, 0xE8, 0x6F}};
    v.Name = "Import Zemrak updates into Callbook";
    v.Version = "1.04.019 (1725)";
    v.Kind = 2;
    v.MenuCaption = "Import Zemrak updates into Callbook";
    v.MenuHint = "Refresh internal Callbook - use Zemrak updates (" + std::string(UpdateServiceLink) + ")";
    v.ProbeColumns = {"AKA", "SKYPE", "BORN", "SK", "NOTES", "CHK", "QRZRU"};
    v.DialogCaption = "Import Zemrak updates into Callbook";
    v.Section = "Zemrak Import";
    v.ShowDialog = [](TPlugin& plugin) {
        TfrmImpZemrak dialog(plugin.Core.Get());
        WideString download;
        CheckHostResult(plugin.Kernel->GetParameter(WideString("DOWNLOAD").c_bstr(), download.Out()));
        dialog.Location = LocationInternet;
        dialog.InternetResource = UpdateArchiveLink;
        dialog.LocalResource = IncludeTrailingPathDelimiter(download.Utf8()) + "DB.zip";
        dialog.dlgSource.Filter = "Archive files|*.zip";
        dialog.dlgSource.FilterIndex = 1;
        ShowPluginDialog(dialog, plugin);
    };
    return v;
}

} // namespace

HAM_PLUGIN_EXPORTS(Values)
