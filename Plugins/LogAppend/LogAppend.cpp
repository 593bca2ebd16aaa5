// Entry unit: the library's values and its two exports.
#include "Platform/FormatSettings/FormatSettings.h"
#include "PluginAPI/Plugins/PluginEntry.h"
#include "PluginAPI/Plugins/PluginForm.h"
#include "Plugins/LogAppend/uAppZemrak.h"

namespace {

// Host parameters carry dates as yyyy-mm-dd hh:nn[:ss], whatever the user's
// locale; a settings file written in the user's own format is still read.
// A text that is no date and time ends the click action here.
TDateTime HostDateTime(const std::string& text)
{
    TDateTime value = 0;
    if (TryStrToDateTime(text, value, InvariantFormatSettings())) return value;
    return StrToDateTime(text);
}

TPluginValues Values()
{
    TPluginValues v;
    v.ID = {0x1A177FF2, 0x5870, 0x4621, {0xB4, 0x6F, 0xD6, 0x04, 0x00, 0x3E, 0xFD, 0xB8}};
    v.Name = "Append Zemrak log data into current log";
    v.Version = "1.04.019 (1904)";
    v.Kind = 1;
    v.MenuCaption = "Append Zemrak log data into current log";
    v.MenuHint = "Import  Zemrak log data into current log (direct connect to database)";
    v.ProbeColumns = {};
    v.DialogCaption = "Append Zemrak log data into current log";
    v.Section = "Zemrak Log";
    v.ShowDialog = [](TPlugin& plugin) {
        TfrmAppZemrak dialog(plugin.Core.Get());
        dialog.Kernel = plugin.Kernel;
        dialog.LogExpire = HostDateTime(dialog.HostParameter("LOG.EXPIRE"));
        dialog.LogOperator = dialog.HostParameter("LOG.OPERATOR");
        dialog.LogName = dialog.HostParameter("LOG.NAME");
        dialog.HostLogName = dialog.HostParameter("LOG.TABLE");
        ShowPluginDialog(dialog, plugin);
    };
    return v;
}

} // namespace

HAM_PLUGIN_EXPORTS(Values)
