// The store dialog: writes the host callbook into the logger's own callbook
// database (inserting new stations, updating known ones) under four options.
#pragma once

#include "Includes/uCommFunc/uCommFunc.h"
#include "Platform/Ado/Ado.h"
#include "Platform/Clock/Clock.h"
#include "PluginAPI/Plugins/PluginForm.h"

#include <functional>
#include <string>
#include <string_view>

// Items of cgProc, in their order.
enum TStoreOption { soMark = 0, soOver = 1, soXtra = 2, soSave = 3 };

// The statements of one station. Callsign and values are quoted with
// QuoteSQLValue; WithMarks adds the Checked column (TRUE when Checked).
std::string BuildInsertStatement(std::string_view Callsign, const TListFields& Fields, bool WithMarks, bool Checked);
std::string BuildUpdateStatement(std::string_view Callsign, const TListFields& Fields, bool WithMarks, bool Checked);

// The note as it is written over an existing row when existing data is
// kept: plain words (when SavePlain) then keyword words (when KeepKeywords),
// each part in its own order, joined by single blanks. Empty: the target
// keeps its note.
std::string FilterNote(std::string_view Note, bool KeepKeywords, bool SavePlain);
// Whether Word starts with one of the logger's note keywords (exact case).
bool IsNoteKeyword(std::string_view Word);

class TfrmStoZemrakcb : public TPluginDialog {
public:
    explicit TfrmStoZemrakcb(ICore* core);
    ~TfrmStoZemrakcb() override;

    Forms::TLabel lbRefDB{*this, "lbRefDB", "Reference callbook database"};
    Forms::TEdit edRefDB{*this, "edRefDB"};
    Forms::TCheckGroup cgProc{*this, "cgProc", "Processing source data"};
    Forms::TLabel lbProgress{*this, "lbProgress", "Progress"};
    Forms::TDialogButtons dbtStore{*this, "dbtStore", "Store", "Close"};
    // The settings store on the host's settings file and this section.
    TIniFile& iniLoad = Settings;
    // The logger's callbook database, open only during a run.
    TADOConnection adc;

    // The clock that times a run; tests hand in their own.
    const IClock* Clock = &SystemClock();
    // Told of every INSERT or UPDATE a run sends (benchmarks replay them).
    std::function<void(const std::string& Statement)> OnStatement;

    void FormActivate() override;
    void FormClose(Forms::TCloseAction& Action) override;
    // Store: one run per opening.
    void dbtStoreClickOk();
    // Close.
    void dbtStoreClickCancel();

    // One run: every host station into the logger's CALLBOOK. True when a
    // row was inserted or updated.
    bool StoreCallbook();
    // The options as they stand now.
    bool Option(TStoreOption Item) const { return cgProc.ItemChecked(static_cast<int>(Item)); }

private:
    // Runs one statement on adc: true when it ran, false when the database
    // refused it. A file that is locked, read-only, damaged or full stops
    // the run instead: every later statement would fail the same way.
    bool StoreStatement(const std::string& Statement, bool IsUpdate);
    // Waits (briefly) for the write lock so that a file held by another
    // program is reported before anything is written.
    void CheckWritable();
};
