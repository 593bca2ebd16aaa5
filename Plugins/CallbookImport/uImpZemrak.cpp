#include "Plugins/CallbookImport/uImpZemrak.h"

#include "Includes/uCommDXCC/uCommDXCC.h"
#include "Platform/Unicode/Unicode.h"
#include "PluginAPI/Plugins/Helpers.h"

#include <optional>

const char* const UseFieldKeys[UseFieldCount] = {
    nullptr, "Bureau", "Born",  "Name",   "Direct", "SK",   "QTH",
    "Email", "Skype",  "State", "QSLvia", "DXCC",   "Grid", "Aka",
};

namespace {

const char* const UseFieldCaptions[UseFieldCount] = {
    "Callsign", "Bureau", "Born",  "Name",    "Direct", "SK",   "QTH",
    "E-mail",   "Skype",  "State", "QSL via", "DXCC",   "Grid", "Aka",
};

// Items filled from the update whatever the user chose in modes 0 and 1.
constexpr TUseField ForcedItems[] = {ufName, ufQTH, ufState, ufQSLvia, ufDXCC, ufGrid};
// Items drawn in bold.
constexpr TUseField BoldItems[] = {ufName, ufQTH, ufState, ufQSLvia, ufGrid};

} // namespace

TfrmImpZemrak::TfrmImpZemrak(ICore* core) : TPluginDialog(core)
{
    ConnectText = "Connect updates: ";
    DisconnectText = "Disconnect updates.";
    SetClientWidth(394);
    SetClientHeight(350);
    lbSourceData.SetBold(true);
    lbImportData.SetBold(true);
    lbProgress.SetBold(true);

    rgLocation.SetItems({"Internet resource", "Local data file"});
    rgLocation.SetColumns(2);
    cbImportMode.SetItems({"for all callsigns included in update", "only for new callsigns included in update",
                           "only for callsigns already presented in Callbook"});
    cbImportMode.SetItemIndex(2);
    cgUseFields.SetItems(std::vector<std::string>(std::begin(UseFieldCaptions), std::end(UseFieldCaptions)));
    cgUseFields.SetColumns(5);
    dlgSource.Title = "Select updates...";

    edSource.OnChange = [this] { edSourceChange(); };
    edSource.Button().OnClick = [this] { edSourceButtonClick(); };
    rgLocation.OnChanging = [this](int NewIndex, bool& AllowChange) { rgLocationChanging(NewIndex, AllowChange); };
    cbImportMode.OnChange = [this] { cbImportModeChange(); };
    cgUseFields.OnChange = [this](int) { cgUseFieldsChange(); };
    dbtUpdate.Ok().OnClick = [this] { dbtUpdateClickOk(); };
    dbtUpdate.Cancel().OnClick = [this] { dbtUpdateClickCancel(); };

    // The download: bounded in time and size; HTTPS trusts the system's
    // authorities or the bundle named by CURL_CA_BUNDLE.
    HttpOptions.ConnectTimeout = std::chrono::seconds(30);
    HttpOptions.Timeout = std::chrono::minutes(10);
    HttpOptions.MaxBodySize = MaxArchiveSize;
    if (const char* bundle = std::getenv("CURL_CA_BUNDLE"); bundle && *bundle) HttpOptions.CaFile = bundle;
}

TfrmImpZemrak::~TfrmImpZemrak() = default;

TFieldUse TfrmImpZemrak::FieldUse() const
{
    TFieldUse use{};
    for (int i = 0; i < UseFieldCount; ++i)
        use[static_cast<std::size_t>(i)] = cgUseFields.ItemChecked(i);
    return use;
}

void TfrmImpZemrak::FormActivate()
{
    PrepareErrorLog();

    const std::string location = iniUpdate.ReadString("Location", "");
    if (location == "Internet") Location = LocationInternet;
    if (location == "Local") Location = LocationLocal;

    std::string resource = iniUpdate.ReadString("Resource", "");
    if (resource.empty()) resource = Location == LocationInternet ? InternetResource : LocalResource;

    const int mode = iniUpdate.ReadInteger("Mode", 2);
    cbImportMode.SetItemIndex(mode >= 0 && mode < int(cbImportMode.Items().size()) ? mode : 2);

    cgUseFields.SetItemChecked(ufCallsign, true);
    cgUseFields.SetItemLocked(ufCallsign, true);
    for (int i = 1; i < UseFieldCount; ++i)
        cgUseFields.SetItemChecked(i, iniUpdate.ReadBool(UseFieldKeys[i], false));
    for (TUseField item : BoldItems)
        cgUseFields.SetItemBold(item, true);

    cbImportModeChange();

    rgLocation.SetItemIndex(Location == LocationInternet ? 0 : 1);
    if (Location == LocationInternet)
        InternetResource = resource;
    else
        LocalResource = resource;
    edSource.SetText(resource);

    ResetRun();
    CheckLocation();
    CheckActions();
}

void TfrmImpZemrak::WriteSettings()
{
    iniUpdate.WriteString("Location", Location == LocationInternet ? "Internet" : "Local");
    iniUpdate.WriteString("Resource", edSource.Text());
    iniUpdate.WriteInteger("Mode", cbImportMode.ItemIndex());
    for (int i = 1; i < UseFieldCount; ++i)
        iniUpdate.WriteBool(UseFieldKeys[i], cgUseFields.ItemChecked(i));
}

void TfrmImpZemrak::FormClose(Forms::TCloseAction&)
{
    if (LastRunDone) WriteSettings();
}

void TfrmImpZemrak::CheckActions()
{
    bool anyField = false;
    for (int i = 1; i < UseFieldCount; ++i)
        anyField = anyField || cgUseFields.ItemChecked(i);
    const std::string source = Trim(edSource.Text());
    bool sourceOk = !source.empty();
    if (Location == LocationLocal) sourceOk = sourceOk && FileExists(source);
    dbtUpdate.Ok().SetEnabled(anyField && sourceOk && !LastRunDone);
}

void TfrmImpZemrak::CheckLocation()
{
    if (Location == LocationInternet) {
        edSource.SetReadOnly(false);
        edSource.Button().SetVisible(false);
        edSource.SetText(InternetResource);
    } else {
        edSource.SetReadOnly(true);
        edSource.Button().SetVisible(true);
        edSource.SetText(LocalResource);
    }
}

void TfrmImpZemrak::rgLocationChanging(int NewIndex, bool& AllowChange)
{
    Location = NewIndex == 0 ? LocationInternet : LocationLocal;
    CheckLocation();
    AllowChange = true;
}

void TfrmImpZemrak::edSourceChange()
{
    LastRunDone = false;
    CheckActions();
}

void TfrmImpZemrak::edSourceButtonClick()
{
    const std::string text = edSource.Text();
    const std::string extension = ExtractFileExt(text);
    std::string name;
    if (FileExists(text)) {
        dlgSource.InitialDir = ExtractFileDir(text);
        name = ExtractFileName(text);
    } else {
        dlgSource.InitialDir = text;
    }
    if (!extension.empty()) {
        if (const std::size_t at = name.find(extension); at != std::string::npos) name.resize(at);
    }
    dlgSource.FileName = name;
    dlgSource.DefaultExt = extension;
    if (dlgSource.Execute()) edSource.SetText(dlgSource.FileName);
}

void TfrmImpZemrak::cbImportModeChange()
{
    const int mode = cbImportMode.ItemIndex();
    for (TUseField item : ForcedItems) {
        if (mode == 0 || mode == 1) cgUseFields.SetItemChecked(item, true);
        cgUseFields.SetItemLocked(item, mode == 1);
    }
    CheckActions();
}

void TfrmImpZemrak::cgUseFieldsChange()
{
    CheckActions();
}

void TfrmImpZemrak::dbtUpdateClickOk()
{
    std::optional<Forms::TBusyCursor> busy(std::in_place, *this);
    const std::string appPath = HostParameter("APPPATH");
    const std::string appName = HostParameter("APPNAME");
    const std::string source = Trim(edSource.Text());

    if (Location == LocationInternet && UpperCase(source).find("HTTPS://") != std::string::npos && !HttpsAvailable()) {
        busy.reset();
        const std::string text = "Not found libraries for secure web connection:\r\n"
                                 "please put libeay32.dll and ssleay32.dll in application folder\r\n\"" +
                                 appPath + "\"\r\nand restart " + appName + " application.";
        CheckHostResult(
            Kernel->ShowMessage(WideString(text).c_bstr(), WideString("OpenSSL components needed").c_bstr()));
        return;
    }

    // The dictionaries live from here to the end of the run, whatever happens.
    struct TDictionaryGuard {
        ~TDictionaryGuard() { ClearDictionaries(); }
    } dictionaryGuard;
    if (cgUseFields.ItemChecked(ufDXCC)) {
        for (const char* table : {"COUNTRY", "PROVINCE", "UNIQUECALL"}) {
            BOOL32 exists = 0;
            CheckHostResult(Server->TableExists(WideString(table).c_bstr(), &exists));
            if (!exists) {
                busy.reset();
                MessageBox("You need to load actual dictionary data from Internet\r\n"
                           "or local source, use menu: Set -> Countries list.",
                           "Missing information", 1);
                return;
            }
        }
        LoadUniqueCalls(Server.Get());
        LoadProvinces(Server.Get());
        LoadCountries(Server.Get());
    }

    mProgress.Clear();
    LastRunDone = true;
    CheckActions();
    edSource.SetReadOnly(true);
    rgLocation.SetReadOnly(true);
    cbImportMode.SetReadOnly(true);
    cgUseFields.SetReadOnly(true);

    LastRunDone = ImportUpdates(Location, source);

    ClearDictionaries();
    CheckActions();
    dbtUpdate.Ok().SetEnabled(false);
}

void TfrmImpZemrak::dbtUpdateClickCancel()
{
    Close();
}
