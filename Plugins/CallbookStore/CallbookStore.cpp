// Entry unit: the library's values and its two exports.
#include "PluginAPI/Plugins/PluginEntry.h"
#include "Plugins/CallbookStore/uStoZemrakcb.h"

namespace {

TPluginValues Values()
{
    TPluginValues v;
    v.ID = {0x6E370247, 0x8E97, 0x4B10, {0x95, 0xD5, 0x68, 0x87, 0x5C, 0xEC, 0x27, 0x15}};
    v.Name = "Store Callbook into Zemrak log";
    v.Version = "1.04.019 (1730)";
    v.Kind = 0;
    v.MenuCaption = "Store Callbook to Zemrak log";
    v.MenuHint = "Store Callbook data to Zemrak log (direct connect to database)";
    v.ProbeColumns = {"NOTES", "CHK"};
    v.DialogCaption = "Store Callbook into Zemrak log";
    v.Section = "Zemrak Callbook";
    v.ShowDialog = [](TPlugin& plugin) {
        TfrmStoZemrakcb dialog(plugin.Core.Get());
        ShowPluginDialog(dialog, plugin);
    };
    return v;
}

} // namespace

HAM_PLUGIN_EXPORTS(Values)
