// The store dialog: what will be written, the options, one run per opening.
#include "Plugins/CallbookStore/uStoZemrakcb.h"

#include "Includes/uZemrakDb/uZemrakDb.h"
#include "Platform/Ado/Sqlite.h"

namespace {

struct TOptionSetting {
    const char* Caption;
    const char* Key;
    bool Default;
};

constexpr TOptionSetting OptionSettings[] = {
    {"checkmarks for verified", "Mark", true},
    {"overwrite existing data", "Over", false},
    {"use extra info keywords", "Xtra", false},
    {"save non-keyed notes", "Save", false},
};

} // namespace

TfrmStoZemrakcb::TfrmStoZemrakcb(ICore* core) : TPluginDialog(core)
{
    SetClientWidth(394);
    SetClientHeight(250);
    lbRefDB.SetBold(true);
    edRefDB.SetReadOnly(true);
    cgProc.SetColumns(2);
    for (const TOptionSetting& option : OptionSettings)
        cgProc.AddItem(option.Caption);
    lbProgress.SetBold(true);
    dbtStore.Ok().OnClick = [this] { dbtStoreClickOk(); };
    dbtStore.Cancel().OnClick = [this] { dbtStoreClickCancel(); };
}

TfrmStoZemrakcb::~TfrmStoZemrakcb() = default;

void TfrmStoZemrakcb::FormActivate()
{
    // Store is enabled only once the activation has succeeded.
    dbtStore.Ok().SetEnabled(false);
    PrepareErrorLog();
    std::string path;
    if (!CheckInstallation(*this, ReferenceDatabaseFile, path)) return;
    if (!CheckWritableDatabase(*this, path)) return;
    edRefDB.SetText(path);
    for (int i = 0; i < static_cast<int>(std::size(OptionSettings)); ++i)
        cgProc.SetItemChecked(i, iniLoad.ReadBool(OptionSettings[i].Key, OptionSettings[i].Default));
    ResetRun();
    psInfo.SetText({});
    // A file that cannot be read as the logger's callbook is reported now,
    // not after the user pressed Store.
    CheckSqliteFile(path);
    dbtStore.Ok().SetEnabled(true);
}

void TfrmStoZemrakcb::FormClose(Forms::TCloseAction& Action)
{
    (void)Action;
    // Options chosen for a run that wrote nothing are forgotten.
    if (!LastRunDone) return;
    for (int i = 0; i < static_cast<int>(std::size(OptionSettings)); ++i)
        iniLoad.WriteBool(OptionSettings[i].Key, cgProc.ItemChecked(i));
}

void TfrmStoZemrakcb::dbtStoreClickOk()
{
    Forms::TBusyCursor busy(*this);
    mProgress.Clear();
    dbtStore.Ok().SetEnabled(false);
    LastRunDone = StoreCallbook();
}

void TfrmStoZemrakcb::dbtStoreClickCancel()
{
    Close();
}
