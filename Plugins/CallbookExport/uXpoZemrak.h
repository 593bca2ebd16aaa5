// The export dialog: where the logger's reference callbook lies, the export
// file and its options, and the export run that turns the host callbook
// into an update package for the logger.
#pragma once

#include "Platform/Ado/Ado.h"
#include "Platform/Forms/Forms.h"
#include "PluginAPI/Plugins/PluginForm.h"
#include "Plugins/CallbookExport/XpoPackage.h"
#include "Plugins/CallbookExport/XpoTransfer.h"

#include <cstdint>
#include <functional>
#include <string>

class TfrmXpoZemrak : public TPluginDialog {
public:
    explicit TfrmXpoZemrak(ICore* core);
    ~TfrmXpoZemrak() override;

    // Handed over by the click action: the export file offered by default.
    std::string DefaultTarget;
    // Sees every INSERT the transfer sends (benchmarks run the same texts
    // for their floor).
    std::function<void(const std::string&)> OnStatement;

    Forms::TLabel lbRefDB{*this, "lbRefDB", "Reference callbook database"};
    Forms::TEdit edRefDB{*this, "edRefDB"};
    Forms::TLabel lbTarget{*this, "lbTarget", "Callbook export file"};
    Forms::TButtonEdit edTarget{*this, "edTarget"};
    Forms::TCheckBox cbConvertZIP{*this, "cbConvertZIP", "automate archive creation (ZIP export file)"};
    Forms::TGroupBox gbOmit{*this, "gbOmit", "Omit inactive callsigns"};
    Forms::TCheckBox cbOmitLOTW{*this, "cbOmitLOTW", "for LotW before"};
    Forms::TDateEdit dtOmitLOTW{*this, "dtOmitLOTW"};
    Forms::TButtonPair bteDefLOTW{*this, "bteDefLOTW"};
    Forms::TCheckBox cbOmitEQSL{*this, "cbOmitEQSL", "for eQSL before"};
    Forms::TDateEdit dtOmitEQSL{*this, "dtOmitEQSL"};
    Forms::TButtonPair bteDefEQSL{*this, "bteDefEQSL"};
    Forms::TCheckGroup cgExtInfo{*this, "cgExtInfo", "Include extra info"};
    Forms::TLabel lbProgress{*this, "lbProgress", "Progress"};
    Forms::TDialogButtons dbtExport{*this, "dbtExport", "Export", "Close"};
    Forms::TSaveDialog dlgTarget{*this, "dlgTarget"};
    TIniFile& iniExport = Settings;
    TADOConnection adc;

    void FormActivate() override;
    void FormClose(Forms::TCloseAction& Action) override;

    void CheckActions();
    void edTargetChange();
    void edTargetButtonClick();
    void cbOmitLOTWClick();
    void cbOmitEQSLClick();
    void dtOmitLOTWChange();
    void dtOmitEQSLChange();
    void bteDefLOTWButtonClick();
    void bteDefEQSLButtonClick();
    void bteDefLOTWAltBtnClick();
    void bteDefEQSLAltBtnClick();
    void dbtExportClickOk();
    void dbtExportClickCancel();
    void SetOmitControls(bool Checked, Forms::TDateEdit& DateEdit, Forms::TButtonPair& Buttons);
    // Earliest value of a date column of the host callbook as short-date
    // text; empty when the column holds none.
    std::string FindEarliestDate(const std::string& Column);

    // The options as the run reads them.
    TExtInfo CheckedExtInfo() const;
    TOmitOption OmitLOTW() const { return {cbOmitLOTW.Checked(), dtOmitLOTW.Date()}; }
    TOmitOption OmitEQSL() const { return {cbOmitEQSL.Checked(), dtOmitEQSL.Date()}; }

    // The export run: copy, rebuild, transfer, compaction and package.
    // True when the package was produced.
    bool ExportCallbook(const std::string& RefPath, const std::string& TargetPath);
    // Compacts the database at Path in place through a temporary file that
    // replaces it only when complete. Shows its own failures, never raises;
    // false when it failed.
    bool CompactDatabaseFile(const std::string& Path);
    // Prefix of the run's working copy beside the target.
    static constexpr const char* WorkFilePrefix = "~Xp";
    // Fills the open target's CALLBOOK from the host callbook; answers the
    // rows saved. A full disk or an I/O error, or a transfer in which every
    // row was refused, raises.
    int TransferCallbook();
    // Description, archive and closing lines; the run's result.
    bool WritePackage(const std::string& TargetPath, int Saved, std::uint64_t StartTicks);

protected:
    // The last step of compaction: the compacted file takes the target's
    // place in one step.
    virtual void ReplaceFile(const std::string& Compacted, const std::string& Target);

private:
    void ReadOmitDate(const char* Key, Forms::TDateEdit& DateEdit);
    void WriteOmitDate(const char* Key, const Forms::TCheckBox& Box, const Forms::TDateEdit& DateEdit);

    bool running_ = false;
};
