// The export dialog: controls, activation, settings and handlers.
#include "Plugins/CallbookExport/uXpoZemrak.h"

#include "Includes/uZemrakDb/uZemrakDb.h"
#include "Platform/Files/Files.h"
#include "Platform/FormatSettings/FormatSettings.h"
#include "Platform/OleAuto/OleAuto.h"
#include "Platform/Unicode/Unicode.h"
#include "PluginAPI/Plugins/Helpers.h"
#include "PluginAPI/Plugins/ServerQuery.h"

namespace {

void UseShortDates(Forms::TDateEdit& edit)
{
    edit.SetDateFormat([](TDateTime date) { return DateToStr(date); },
                       [](std::string_view text) -> std::optional<TDateTime> {
                           TDateTime value = 0;
                           if (TryStrToDate(text, value)) return value;
                           return std::nullopt;
                       });
}

} // namespace

TfrmXpoZemrak::TfrmXpoZemrak(ICore* core) : TPluginDialog(core)
{
    ConnectText = "Connect updates: ";
    DisconnectText = "Disconnect updates.";
    SetClientWidth(394);
    SetClientHeight(380);

    lbRefDB.SetBold(true);
    lbTarget.SetBold(true);
    lbProgress.SetBold(true);
    edRefDB.SetReadOnly(true);
    for (Forms::TControl* c : std::initializer_list<Forms::TControl*>{&cbOmitLOTW, &dtOmitLOTW, &bteDefLOTW,
                                                                      &cbOmitEQSL, &dtOmitEQSL, &bteDefEQSL})
        c->SetParent(&gbOmit);
    UseShortDates(dtOmitLOTW);
    UseShortDates(dtOmitEQSL);
    for (Forms::TButtonPair* pair : {&bteDefLOTW, &bteDefEQSL}) {
        pair->Button().SetCaption("Find");
        pair->AltBtn().SetCaption("-1 year");
    }
    std::vector<std::string> captions;
    for (const TExtInfoDef& item : ExtInfoItems)
        captions.emplace_back(item.Caption);
    cgExtInfo.SetItems(captions);
    cgExtInfo.SetColumns(6);

    dlgTarget.Title = "Callbook export file";
    dlgTarget.Filter = "Database file|*.mdb";
    dlgTarget.FilterIndex = 1;

    edTarget.OnChange = [this] { edTargetChange(); };
    edTarget.Button().OnClick = [this] { edTargetButtonClick(); };
    cbOmitLOTW.OnClick = [this] { cbOmitLOTWClick(); };
    cbOmitEQSL.OnClick = [this] { cbOmitEQSLClick(); };
    dtOmitLOTW.OnChange = [this] { dtOmitLOTWChange(); };
    dtOmitEQSL.OnChange = [this] { dtOmitEQSLChange(); };
    bteDefLOTW.Button().OnClick = [this] { bteDefLOTWButtonClick(); };
    bteDefEQSL.Button().OnClick = [this] { bteDefEQSLButtonClick(); };
    bteDefLOTW.AltBtn().OnClick = [this] { bteDefLOTWAltBtnClick(); };
    bteDefEQSL.AltBtn().OnClick = [this] { bteDefEQSLAltBtnClick(); };
    dbtExport.Ok().OnClick = [this] { dbtExportClickOk(); };
    dbtExport.Cancel().OnClick = [this] { dbtExportClickCancel(); };
    SetActiveControl(&bteDefLOTW);
}

TfrmXpoZemrak::~TfrmXpoZemrak() = default;

void TfrmXpoZemrak::FormActivate()
{
    LastRunDone = false;
    PrepareErrorLog();

    std::string refPath;
    if (!CheckInstallation(*this, ReferenceDatabaseFile, refPath)) return;
    // The package is made from the logger's file, which must be writable here.
    if (!CheckWritableDatabase(*this, refPath)) return;
    edRefDB.SetText(refPath);

    cbConvertZIP.SetChecked(iniExport.ReadBool("ZIP", true));
    cbOmitLOTW.SetChecked(iniExport.ReadBool("LotW omit", false));
    ReadOmitDate("LotW date", dtOmitLOTW);
    cbOmitEQSL.SetChecked(iniExport.ReadBool("eQSL omit", false));
    ReadOmitDate("eQSL date", dtOmitEQSL);
    SetOmitControls(cbOmitLOTW.Checked(), dtOmitLOTW, bteDefLOTW);
    SetOmitControls(cbOmitEQSL.Checked(), dtOmitEQSL, bteDefEQSL);

    const WideString table("CALLBOOK");
    for (int i = 0; i < eiCount; ++i) {
        BOOL32 exists = 0;
        CheckHostResult(Server->FieldExists(table.c_bstr(), WideString(ExtInfoItems[i].HostColumn).c_bstr(), &exists));
        cgExtInfo.SetItemEnabled(i, exists != 0);
    }
    for (int i = 0; i < eiCount; ++i) {
        cgExtInfo.SetItemChecked(i, iniExport.ReadBool(ExtInfoItems[i].Key, false));
        if (!cgExtInfo.ItemEnabled(i)) cgExtInfo.SetItemChecked(i, false);
    }

    edTarget.SetText(DefaultTarget);
    dlgTarget.InitialDir = ExtractFilePath(DefaultTarget);
    dlgTarget.DefaultExt = ExtractFileExt(DefaultTarget);

    ResetRun();
    CheckActions();
}

void TfrmXpoZemrak::ReadOmitDate(const char* Key, Forms::TDateEdit& DateEdit)
{
    if (Trim(iniExport.ReadString(Key, "")).empty())
        DateEdit.Clear();
    else
        DateEdit.SetDate(iniExport.ReadDate(Key, Now()));
}

void TfrmXpoZemrak::WriteOmitDate(const char* Key, const Forms::TCheckBox& Box, const Forms::TDateEdit& DateEdit)
{
    if (!Box.Checked())
        iniExport.DeleteKey(Key);
    else if (DateEdit.Empty())
        iniExport.WriteString(Key, "");
    else
        iniExport.WriteDate(Key, *DateEdit.Date());
}

void TfrmXpoZemrak::FormClose(Forms::TCloseAction& Action)
{
    (void)Action;
    if (!LastRunDone) return;
    iniExport.WriteBool("ZIP", cbConvertZIP.Checked());
    iniExport.WriteBool("LotW omit", cbOmitLOTW.Checked());
    WriteOmitDate("LotW date", cbOmitLOTW, dtOmitLOTW);
    iniExport.WriteBool("eQSL omit", cbOmitEQSL.Checked());
    WriteOmitDate("eQSL date", cbOmitEQSL, dtOmitEQSL);
    for (int i = 0; i < eiCount; ++i) {
        if (cgExtInfo.ItemEnabled(i))
            iniExport.WriteBool(ExtInfoItems[i].Key, cgExtInfo.ItemChecked(i));
        else
            iniExport.DeleteKey(ExtInfoItems[i].Key);
    }
    iniExport.WriteString("Export", edTarget.Text());
}

void TfrmXpoZemrak::CheckActions()
{
    const std::string target = Trim(edTarget.Text());
    dbtExport.Ok().SetEnabled(!target.empty() && target != Trim(edRefDB.Text()) && !LastRunDone);
}

void TfrmXpoZemrak::edTargetChange()
{
    LastRunDone = false;
    CheckActions();
}

void TfrmXpoZemrak::edTargetButtonClick()
{
    const std::string from = FileExists(edTarget.Text()) ? edTarget.Text() : DefaultTarget;
    const std::string name = ExtractFileName(from);
    const std::string ext = ExtractFileExt(name);
    const std::size_t cut = ext.empty() ? std::string::npos : name.find(ext);
    dlgTarget.InitialDir = ExtractFilePath(from);
    dlgTarget.FileName = name.substr(0, cut);
    dlgTarget.DefaultExt = ext;
    if (dlgTarget.Execute()) edTarget.SetText(dlgTarget.FileName);
}

void TfrmXpoZemrak::SetOmitControls(bool Checked, Forms::TDateEdit& DateEdit, Forms::TButtonPair& Buttons)
{
    if (!Checked) DateEdit.Clear();
    DateEdit.SetEnabled(Checked);
    Buttons.SetEnabled(Checked);
    dtOmitLOTWChange();
    dtOmitEQSLChange();
}

void TfrmXpoZemrak::cbOmitLOTWClick()
{
    SetOmitControls(cbOmitLOTW.Checked(), dtOmitLOTW, bteDefLOTW);
}
void TfrmXpoZemrak::cbOmitEQSLClick()
{
    SetOmitControls(cbOmitEQSL.Checked(), dtOmitEQSL, bteDefEQSL);
}

void TfrmXpoZemrak::dtOmitLOTWChange()
{
    cbOmitLOTW.SetCaption(dtOmitLOTW.Text().empty() ? "for LotW" : "for LotW before");
}

void TfrmXpoZemrak::dtOmitEQSLChange()
{
    cbOmitEQSL.SetCaption(dtOmitEQSL.Text().empty() ? "for eQSL" : "for eQSL before");
}

void TfrmXpoZemrak::bteDefLOTWButtonClick()
{
    dtOmitLOTW.SetText(FindEarliestDate("LOTWACTDATE"));
}
void TfrmXpoZemrak::bteDefEQSLButtonClick()
{
    dtOmitEQSL.SetText(FindEarliestDate("EQSLACTDATE"));
}

namespace {

// Twelve calendar months back, the day clamped (29 February gives 28
// February); an empty edit counts from today.
void YearEarlier(Forms::TDateEdit& edit)
{
    edit.SetDate(IncMonth(edit.Date().value_or(Date()), -12));
}

} // namespace

void TfrmXpoZemrak::bteDefLOTWAltBtnClick()
{
    YearEarlier(dtOmitLOTW);
}
void TfrmXpoZemrak::bteDefEQSLAltBtnClick()
{
    YearEarlier(dtOmitEQSL);
}

std::string TfrmXpoZemrak::FindEarliestDate(const std::string& Column)
{
    TServerQuery query(Server.Get(), TServerQuery::TCloseOnRelease::Always);
    const QueryHandle h = query.Handle();

    const std::string condition = " WHERE " + Column + " IS NOT NULL";
    CheckHostResult(Server->OpenQuery(h, WideString("SELECT " + Column + " FROM CALLBOOK" + condition).c_bstr()));
    std::int32_t count = 0;
    CheckHostResult(Server->GetRecordCount(h, &count));
    if (count < 1) return {};
    CheckHostResult(Server->CloseQuery(h));
    CheckHostResult(
        Server->OpenQuery(h, WideString("SELECT MIN(" + Column + ") AS MINDATE FROM CALLBOOK" + condition).c_bstr()));
    WORD y = 0, m = 0, d = 0, hh = 0, nn = 0, ss = 0;
    BOOL32 has = 0;
    CheckHostResult(Server->GetDateTime(h, WideString("MINDATE").c_bstr(), &y, &m, &d, &hh, &nn, &ss, &has));
    if (!has) return {};
    return DateToStr(EncodeDate(y, m, d));
}

TExtInfo TfrmXpoZemrak::CheckedExtInfo() const
{
    TExtInfo ext{};
    for (int i = 0; i < eiCount; ++i)
        ext[i] = cgExtInfo.ItemChecked(i);
    return ext;
}

void TfrmXpoZemrak::dbtExportClickOk()
{
    // The dialog stays usable during a run; a second click waits for the first.
    if (running_) return;
    running_ = true;
    struct TRunning {
        bool& flag;
        ~TRunning() { flag = false; }
    } running{running_};
    Forms::TBusyCursor busy(*this);
    mProgress.Clear();
    CheckActions();
    LastRunDone = ExportCallbook(edRefDB.Text(), edTarget.Text());
    CheckActions();
}

void TfrmXpoZemrak::dbtExportClickCancel()
{
    Close();
}
