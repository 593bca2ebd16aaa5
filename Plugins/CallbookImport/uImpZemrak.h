// The import dialog: where the update package comes from, which mode and
// which fields, the run (fetching and unpacking the package, merging it into
// the host callbook) and its progress.
#pragma once

#include "Platform/Ado/Ado.h"
#include "Platform/Clock/Clock.h"
#include "Platform/Files/Files.h"
#include "Platform/Forms/Forms.h"
#include "Platform/Http/Http.h"
#include "PluginAPI/Plugins/PluginForm.h"
#include "Plugins/CallbookImport/uImpZemrakMerge.h"

#include <cstdint>
#include <functional>
#include <string>

class TServerQuery;

// Where a run takes the package from.
inline constexpr int LocationInternet = 1;
inline constexpr int LocationLocal = 2;

// Limits on what a package may bring.
inline constexpr std::uint64_t MaxArchiveSize = std::uint64_t{256} << 20;  // 256 MiB download
inline constexpr std::uint64_t MaxDatabaseSize = std::uint64_t{512} << 20; // 512 MiB DB.mdb

// The package being read: the archive file, and the downloaded copy that the
// run owns and deletes.
struct TArchiveStream {
    std::string Path;
    TTempFile Downloaded;
};

// Counts of one run.
struct TMergeCounters {
    std::int32_t Ins = 0;
    std::int32_t Upd = 0;
    std::int32_t Err = 0;
};

class TfrmImpZemrak : public TPluginDialog {
public:
    explicit TfrmImpZemrak(ICore* core);
    ~TfrmImpZemrak() override;

    // Set by the menu handler before the dialog is shown.
    int Location = LocationInternet;
    std::string InternetResource;
    std::string LocalResource;
    // Options of the download; the menu handler's defaults.
    THttpOptions HttpOptions;
    // What runs are timed with.
    const IClock* Clock = &SystemClock();
    // Told every statement a run sends to the host, before it is sent.
    std::function<void(const std::string& statement)> OnStatement;

    TIniFile& iniUpdate = Settings;

    Forms::TLabel lbSourceData{*this, "lbSourceData", "Source data"};
    Forms::TButtonEdit edSource{*this, "edSource"};
    Forms::TRadioGroup rgLocation{*this, "rgLocation", " Source location "};
    Forms::TLabel lbImportData{*this, "lbImportData", "Import data"};
    Forms::TComboBox cbImportMode{*this, "cbImportMode"};
    Forms::TCheckGroup cgUseFields{*this, "cgUseFields", "Use fields for update"};
    Forms::TLabel lbProgress{*this, "lbProgress", "Progress"};
    Forms::TDialogButtons dbtUpdate{*this, "dbtUpdate", "Import", "Close"};
    Forms::TOpenDialog dlgSource{*this, "dlgSource"};
    TADOConnection adcUpd;

    void FormActivate() override;
    void FormClose(Forms::TCloseAction& Action) override;

    void CheckActions();
    void CheckLocation();
    void rgLocationChanging(int NewIndex, bool& AllowChange);
    void edSourceChange();
    void edSourceButtonClick();
    void cbImportModeChange();
    void cgUseFieldsChange();
    void dbtUpdateClickOk();
    void dbtUpdateClickCancel();

    // One run: true when records were inserted or updated.
    bool ImportUpdates(int Location, const std::string& Source);

    // Acquisition: the archive from the Internet or a local file, and its
    // database unpacked into a temporary file of the download folder.
    bool AcquireArchive(int Location, const std::string& Source, TArchiveStream& Stream);
    bool DownloadArchive(const std::string& Address, TArchiveStream& Stream);
    bool OpenLocalArchive(const std::string& Path, TArchiveStream& Stream);
    bool ExtractDatabase(int Location, TArchiveStream& Stream, std::string& DatabasePath);

    // The checked items of cgUseFields.
    TFieldUse FieldUse() const;

private:
    struct TRun;
    bool RunImport(int Location, const std::string& Source, TMergeCounters& Counters);
    bool MergeUpdates(TADOQuery& UpdateQuery, std::int32_t Total, TMergeCounters& Counters);
    void CheckUpdateDatabase();
    void EraseUpdateDatabase(TADOQuery& UpdateQuery, const std::string& Path, bool Unwinding);
    void FinishRun(std::uint64_t Start, const TMergeCounters& Counters, std::string& Elapsed);
    void WriteSettings();

    std::string downloadFolder_;
};

// The settings key of each item of cgUseFields (none for the callsign).
extern const char* const UseFieldKeys[UseFieldCount];
