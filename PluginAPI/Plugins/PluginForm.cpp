#include "PluginAPI/Plugins/PluginForm.h"

#include "Platform/Ado/Ado.h"
#include "Platform/Files/Files.h"
#include "PluginAPI/Plugins/Helpers.h"
#include "PluginAPI/Plugins/PluginEntry.h"
#include "PluginAPI/Plugins/PluginSupport.h"

#include <cmath>
#include <fstream>

#ifdef HAM_WITH_QT
#include "Platform/FormsQt/FormsQt.h"
#endif

TForm::TForm(ICore* core) : Core(core)
{
    Windows = ComPtr<IApplicationWindows>::Query(core, IID_IApplicationWindows);
    HAM_ASSERT(Windows);
}

TForm::~TForm()
{
    // The window owns its icons.
    if (smallIcon_) DestroyIcon(smallIcon_);
    if (largeIcon_) DestroyIcon(largeIcon_);
}

TCreateParams TForm::CreateParams() const
{
    TCreateParams params;
    params.WndParent = GetApplicationHandle();
    switch (ParentMode) {
    case 1:
        params.WndParent = 0;
        break;
    case 2:
        params.WndParent = ParentWindow;
        params.ExStyle &= ~WS_EX_APPWINDOW;
        break;
    case 3:
        params.WndParent = ParentWindow;
        params.ExStyle |= WS_EX_APPWINDOW;
        break;
    case 4:
        params.WndParent = ParentWindow;
        params.Style |= WS_CHILD;
        break;
    default:
        break;
    }
    return params;
}

IconHandle TForm::SetIcon(bool big, IconHandle icon)
{
    IconHandle& slot = big ? largeIcon_ : smallIcon_;
    IconHandle previous = slot;
    slot = icon;
    return previous;
}

void TForm::DoShow()
{
    auto icons = ComPtr<IApplicationIcons>::Query(Core.Get(), IID_IApplicationIcons);
    if (!icons) return;
    for (bool big : {false, true}) {
        IconHandle icon = 0;
        CheckHostResult(big ? icons->GetLargeIcon(&icon) : icons->GetSmallIcon(&icon));
        if (IconHandle previous = SetIcon(big, icon)) DestroyIcon(previous);
    }
}

Forms::TModalResult TForm::ShowModal()
{
    CheckHostResult(Windows->BeginModal());
    Forms::TModalResult result;
    try {
        DoShow();
        result = Forms::TForm::ShowModal();
    } catch (...) {
        Windows->EndModal();
        throw;
    }
    CheckHostResult(Windows->EndModal());
    return result;
}

TPluginDialog::TPluginDialog(ICore* core) : TForm(core)
{
    mProgress.SetReadOnly(true);
}

void TPluginDialog::FormCreate()
{
    Settings.SetFileName(AppIni);
    Settings.SetSection(Section);
}

std::string TPluginDialog::HostParameter(const std::string& name)
{
    WideString value;
    CheckHostResult(Kernel->GetParameter(WideString(name).c_bstr(), value.Out()));
    return value.Utf8();
}

void TPluginDialog::WriteLog(const std::string& text)
{
    CheckHostResult(Kernel->WriteLog(WideString(text).c_bstr()));
}

void TPluginDialog::MessageBox(const std::string& text, const std::string& caption, int kind)
{
    std::int32_t pressed = 0;
    CheckHostResult(Kernel->MessageBox(WideString(text).c_bstr(), WideString(caption).c_bstr(), kind, 4, &pressed));
}

void TPluginDialog::FormActivate()
{
    PrepareErrorLog();
    ReadSettings();
    ResetRun();
}

void TPluginDialog::PrepareErrorLog()
{
    ErrorLogPath =
        IncludeTrailingPathDelimiter(HostParameter("DOWNLOAD")) + ChangeFileExt(HostParameter("PLUGIN.NAME"), ".err");
    if (FileExists(ErrorLogPath)) DeleteFile(ErrorLogPath);
}

void TPluginDialog::ResetRun()
{
    LastRunDone = false;
    mProgress.Clear();
    ShowProgress(0);
}

void TPluginDialog::MsgProgress(int Level, const std::string& Text, bool EndLine)
{
    mProgress.Append(std::string(static_cast<std::size_t>(std::max(Level, 0)) * 3, ' ') + Text);
    if (EndLine) mProgress.Append("\r\n");
    mProgress.ScrollBy(mProgress.LineCount() - 1);
    ProcessMessages();
}

void TPluginDialog::ShowProgress(double Fraction)
{
    // A hair of tolerance so that 0.29 x 100 shows 29, not 28.
    psProgress.SetPercent(static_cast<int>(std::floor(Fraction * 100 + 1e-9)));
    ProcessMessages();
}

void TPluginDialog::AppendErrorLog(const std::string& Path, const std::string& Line)
{
    std::ofstream out(Path, std::ios::app | std::ios::binary);
    if (!out) throw EFCreateError("Cannot open error file '" + Path + "'");
    out << Line << "\r\n";
    if (!out) throw EInOutError("Cannot write error file '" + Path + "'");
}

namespace {

// A path that would end the Data Source value early (a ';', a leading quote,
// blanks at its ends) goes in double quotes, inner ones doubled.
std::string DataSourceValue(const std::string& path)
{
    const bool quote =
        path.find(';') != std::string::npos ||
        (!path.empty() && (path.front() == '"' || path.front() == '\'' || path.front() == ' ' || path.back() == ' '));
    if (!quote) return path;
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

} // namespace

void TPluginDialog::OpenDatabase(TADOConnection& Connection, const std::string& Path)
{
    try {
        Connection.Close();
        Connection.Mode = cmShareDenyNone;
        Connection.LoginPrompt = false;
        Connection.ConnectionString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + DataSourceValue(Path) + ";";
        Connection.Open();
        WriteLog(ConnectText + Path);
    } catch (const std::exception& e) {
        throw Exception(e.what());
    }
}

void TPluginDialog::CloseDatabase(TADOConnection& Connection)
{
    Connection.Close();
    WriteLog(DisconnectText);
}

void ShowPluginDialog(TPluginDialog& dialog, TPlugin& plugin)
{
    dialog.SetCaption(plugin.Values().DialogCaption);
    dialog.Kernel = plugin.Kernel;
    dialog.Server = plugin.Server;
    dialog.AppIni = dialog.HostParameter("APPINI");
    dialog.Section = plugin.Values().Section;
#ifdef HAM_WITH_QT
    // A host with an application window and a running graphical application
    // gets real dialogs owned by that window; any other keeps the console.
    if (GetApplicationHandle() != 0 && Forms::TQtModalDriver::Available()) {
        Forms::TQtModalDriver windows{std::uint32_t{GetApplicationHandle()}};
        struct TRestore {
            TPluginDialog& dialog;
            ~TRestore() { dialog.SetDriver(nullptr); }
        } restore{dialog};
        dialog.SetDriver(&windows);
        dialog.ShowModal();
        return;
    }
#endif
    // A console host is told how the user's session with the dialog went.
    auto* console = dynamic_cast<Forms::TConsoleDriver*>(&dialog.Driver());
    const int refusedBefore = console ? console->RefusedActions() : 0;
    const int errorsBefore = console ? console->ErrorsShown() : 0;
    dialog.ShowModal();
    if (!console) return;
    if (auto session = ComPtr<IConsoleSession>::Query(dialog.Core.Get(), IID_IConsoleSession))
        CheckHostResult(
            session->DialogEnded(console->RefusedActions() - refusedBefore, console->ErrorsShown() - errorsBefore));
}
