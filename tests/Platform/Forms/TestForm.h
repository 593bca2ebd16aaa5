// A small dialog with one control of each kind, shared by the forms tests and
// the action-language fuzzer.
#pragma once

#include <string>
#include <vector>

#include "Platform/Forms/Forms.h"

namespace FormsTesting {

using namespace Forms;

// A small dialog with one control of each kind; handlers note what ran.
class TTestForm : public TForm {
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
    TButton btnFail{*this, "btnFail", "&Fail"};
    TDialogButtons dbtRun{*this, "dbtRun", "Run", "Close"};
    TStatusPane psInfo{*this, "psInfo"};
    TProgressPane psProgress{*this, "psProgress"};
    TOpenDialog dlgSource{*this, "dlgSource"};

    std::vector<std::string> log;
    bool refuseClose = false;

    TTestForm()
    {
        SetCaption("Test dialog");
        edRefDB.SetReadOnly(true);
        edRefDB.SetText("/ref/DB.mdb");
        cbMode.SetItems({"all", "only new", "only known"});
        cbMode.SetItemIndex(2);
        rgLocation.SetItems({"Internet resource", "Local data file"});
        rgLocation.SetItemIndex(0);
        cgFields.SetItems({"Callsign", "Name", "QSL via", "Grid"});
        cgFields.SetItemChecked(0, true);
        cgFields.SetItemLocked("Callsign", true);
        seDelta.SetRange(0, 9);
        seDelta.SetValue(2);
        dlgSource.InitialDir = "/data";
        dlgSource.DefaultExt = ".zip";

        edSource.OnChange = [this] { log.push_back("edSource=" + edSource.Text()); };
        edSource.Button().OnClick = [this] {
            if (dlgSource.Execute()) edSource.SetText(dlgSource.FileName);
        };
        cbMode.OnChange = [this] { log.push_back("cbMode=" + cbMode.Text()); };
        rgLocation.OnChanging = [this](int index, bool&) { log.push_back("rgLocation->" + std::to_string(index)); };
        cgFields.OnChange = [this](int index) {
            log.push_back("cgFields[" + std::to_string(index) + "]=" + (cgFields.ItemChecked(index) ? "1" : "0"));
        };
        cbZip.OnClick = [this] { log.push_back(std::string("cbZip=") + (cbZip.Checked() ? "1" : "0")); };
        dtMin.OnChange = [this] { log.push_back("dtMin=" + dtMin.Text()); };
        bteMin.AltBtn().OnClick = [this] { dtMin.SetDate(IncMonth(dtMin.Date().value_or(0), -12)); };
        seDelta.OnChange = [this] { log.push_back("seDelta=" + seDelta.Text()); };
        btnFail.OnClick = [] { throw EInOutError("disk full"); };
        dbtRun.Ok().OnClick = [this] {
            TBusyCursor busy(*this);
            mProgress.Append("   abc");
            mProgress.Append(" def\r\n");
            psProgress.SetPercent(100);
            log.push_back("run");
        };
        dbtRun.Cancel().OnClick = [this] { Close(); };
    }

    void FormCreate() override { log.push_back("create"); }
    void FormActivate() override { log.push_back("activate"); }
    void FormClose(TCloseAction& action) override
    {
        log.push_back("close");
        if (refuseClose) {
            refuseClose = false;
            action = TCloseAction::caNone;
        }
    }
};

} // namespace FormsTesting
