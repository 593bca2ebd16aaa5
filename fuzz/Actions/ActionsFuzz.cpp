// The action language never crashes a dialog: any text, line by line, on a
// form with one control of each kind ends in a performed action, a report or
// a handler's exception.
#include "Platform/Forms/Forms.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace Forms;

namespace {

class TFuzzForm : public TForm {
public:
    TButtonEdit edSource{*this, "edSource"};
    TEdit edRefDB{*this, "edRefDB"};
    TComboBox cbMode{*this, "cbMode"};
    TRadioGroup rgLocation{*this, "rgLocation", "Source location"};
    TCheckGroup cgFields{*this, "cgFields", "Use fields"};
    TCheckBox cbZip{*this, "cbZip", "make ZIP"};
    TDateEdit dtMin{*this, "dtMin"};
    TButtonPair bteMin{*this, "bteMin"};
    TSpinEdit seDelta{*this, "seDelta"};
    TMemo mProgress{*this, "mProgress"};
    TButton btnRun{*this, "btnRun", "&Run"};
    TDialogButtons dbtRun{*this, "dbtRun", "Run", "Close"};
    TStatusPane psInfo{*this, "psInfo"};
    TProgressPane psProgress{*this, "psProgress"};

    TFuzzForm()
    {
        SetCaption("Fuzz dialog");
        edRefDB.SetReadOnly(true);
        cbMode.SetItems({"all", "only new", "only known"});
        rgLocation.SetItems({"Internet resource", "Local data file"});
        cgFields.SetItems({"Callsign", "Name", "QSL via", "Grid"});
        cgFields.SetItemLocked("Callsign", true);
        seDelta.SetRange(0, 9);
        btnRun.OnClick = [this] { mProgress.Append("run\r\n"); };
        dbtRun.Cancel().OnClick = [this] { Close(); };
        bteMin.AltBtn().OnClick = [this] { dtMin.SetDate(IncMonth(dtMin.Date().value_or(0), -12)); };
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    TFuzzForm form;
    auto ignore = [](std::string_view) {};
    auto ignoreError = [](const std::exception&) {};
    while (!input.empty()) {
        std::size_t end = input.find('\n');
        std::string_view line = input.substr(0, end);
        PerformAction(form, line, ignore, ignoreError);
        if (end == std::string_view::npos) break;
        input.remove_prefix(end + 1);
    }
    return 0;
}
