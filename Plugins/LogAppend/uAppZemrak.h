// The append dialog: one of the operator's logs in the logger's log
// database, a range of QSO dates and the duplicate window; its Load button
// appends the log's QSOs to the host's current log.
#pragma once

#include "Platform/Ado/Ado.h"
#include "Platform/Clock/Clock.h"
#include "Platform/Forms/Forms.h"
#include "PluginAPI/Plugins/PluginForm.h"
#include "Plugins/LogAppend/QsoTransfer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>

class TfrmAppZemrak : public TPluginDialog {
public:
    explicit TfrmAppZemrak(ICore* core);
    ~TfrmAppZemrak() override;

    // Handed over by the click action.
    TDateTime LogExpire = 0; // no QSO dated after its day is taken
    std::string LogOperator; // the station owning the host's current log
    std::string LogName;     // the host's name of its current log (kept, not used)
    std::string HostLogName; // LOGNAME of the current log's rows

    // The chosen log.
    std::string LogTable;
    std::string LogQth;
    // Duplicate window on each side of a QSO's start, 0..9 minutes.
    int DeltaMinutes = 2;
    // Times a run; tests hand in a clock of their own.
    const IClock* Clock = &SystemClock();

    Forms::TLabel lbRefDBCaption{*this, "lbRefDBCaption", "Reference logbook database"};
    Forms::TEdit edRefDB{*this, "edRefDB"};
    Forms::TLabel lbCallsign{*this, "lbCallsign", "Log for..."};
    Forms::TComboBox cbLog{*this, "cbLog"};
    Forms::TGroupBox gbDateRange{*this, "gbDateRange", "Date range"};
    Forms::TDateEdit dtMinDate{*this, "dtMinDate"};
    Forms::TLabel lbTo{*this, "lbTo", "to"};
    Forms::TDateEdit dtMaxDate{*this, "dtMaxDate"};
    Forms::TLabel lbDelta{*this, "lbDelta", "Delta (m)"};
    Forms::TSpinEdit seDelta{*this, "seDelta"};
    Forms::TLabel lbProgress{*this, "lbProgress", "Progress"};
    Forms::TDialogButtons dbtLoad{*this, "dbtLoad", "Load", "Close"};
    TADOConnection adc;

    void FormActivate() override;
    // A close asked for during a run takes effect when the run has ended.
    void FormClose(Forms::TCloseAction& Action) override;
    void cbLogChange();
    void seDeltaChange();
    void dbtLoadClickOk();
    void dbtLoadClickCancel();

    // One run over the chosen log; an error ends it after its clean-up and
    // goes to the caller.
    void AppendLog();
    // The host row that holds the QSO (NearestDuplicate of the probe's rows),
    // or none.
    std::optional<std::int32_t> FindDuplicate(QueryHandle Handle, const TQsoKey& Key, const TQsoWindow& Window);

    bool Running() const { return running_; }

private:
    // Host rows matched by source rows of the current run, and the highest
    // ID before it started: neither is matched again.
    std::unordered_set<std::int32_t> matched_;
    std::int32_t lastIdBeforeRun_ = 0;
    void TransferRows(QueryHandle handle, TADOQuery& source, TRunCounters& counters);
    void ListLogs();

    bool running_ = false;
    bool enableAfterRun_ = false;
    bool closeAfterRun_ = false;
    bool settingsRead_ = false;
};
