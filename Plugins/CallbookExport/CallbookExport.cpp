// Entry unit: the library's values and its two exports.
#include "Platform/Files/Files.h"
#include "PluginAPI/Plugins/PluginEntry.h"
#include "PluginAPI/Plugins/PluginForm.h"
#include "Plugins/CallbookExport/uXpoZemrak.h"

namespace {

TPluginValues Values()
{
    TPluginValues v;
    v.ID = {0xDB195330, 0xD19A, 0x44AE, {0x9D, 0x82, 0x60, 0xCA, 0xE2, 0xF7, 0x1C, 0x04}};
    v.Name = "Export Callbook as Zemrak updates";
    v.Version = "1.04.019 (1730)";
    v.Kind = 0;
    v.MenuCaption = "Export Callbook as Zemrak updates";
    v.MenuHint = "Export Callbook for further usage as updates for Zemrak log";
    v.ProbeColumns = {"AKA", "SKYPE", "BORN", "SK", "NOTES", "CHK", "QRZRU"};
    v.DialogCaption = "Export Callbook as Zemrak updates";
    v.Section = "Zemrak Export";
    v.ShowDialog = [](TPlugin& plugin) {
        TfrmXpoZemrak dialog(plugin.Core.Get());
        dialog.Kernel = plugin.Kernel;
        dialog.DefaultTarget = IncludeTrailingPathDelimiter(dialog.HostParameter("DOWNLOAD")) + "DB.mdb";
        ShowPluginDialog(dialog, plugin);
    };
    return v;
}

} // namespace

HAM_PLUGIN_EXPORTS(Values)
