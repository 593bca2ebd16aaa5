// The plug-in form base (ties a dialog to the host's window handling) and the
// dialog skeleton every plug-in dialog follows: settings store, error file,
// progress pane, last-run flag, and the external database connection.
#pragma once

#include "Platform/Forms/Forms.h"
#include "Platform/IniFile/IniFile.h"
#include "Platform/OleAuto/ComPtr.h"
#include "PluginAPI/PluginAPI.h"

#include <cstdint>
#include <string>

class TPlugin;
class TADOConnection;

// Window-creation parameters, kept as data for a renderer.
struct TCreateParams {
    WindowHandle WndParent = 0;
    std::uint32_t Style = 0;
    std::uint32_t ExStyle = 0;
};
inline constexpr std::uint32_t WS_EX_APPWINDOW = 0x40000;
inline constexpr std::uint32_t WS_CHILD = 0x40000000;

class TForm : public Forms::TForm {
public:
    // Fails with an assertion failure when the host has no window support.
    explicit TForm(ICore* core);
    ~TForm() override;

    ComPtr<ICore> Core;
    ComPtr<IApplicationWindows> Windows;
    std::uint8_t ParentMode = 0;
    WindowHandle ParentWindow = 0;

    // The platform's parameters (owned by the application window) adjusted
    // by ParentMode.
    virtual TCreateParams CreateParams() const;
    // Between BeginModal and EndModal, also when the loop ends by an exception.
    Forms::TModalResult ShowModal() override;
    // Each show: the host's icons become the window's.
    void DoShow();

    IconHandle SmallIcon() const { return smallIcon_; }
    IconHandle LargeIcon() const { return largeIcon_; }

private:
    // The window takes the icon and gives back its previous one.
    IconHandle SetIcon(bool big, IconHandle icon);

    IconHandle smallIcon_ = 0;
    IconHandle largeIcon_ = 0;
};

// The dialog skeleton shared by the four dialogs.
class TPluginDialog : public TForm {
public:
    explicit TPluginDialog(ICore* core);

    // Handed over by the click action before the dialog is shown.
    ComPtr<IHostKernel> Kernel;
    ComPtr<IHostServer> Server;
    std::string AppIni;  // the host's settings file
    std::string Section; // this dialog's settings section
    TIniFile Settings;   // the settings store on AppIni / Section

    std::string ErrorLogPath;
    bool LastRunDone = false;

    Forms::TMemo mProgress{*this, "mProgress"};
    Forms::TStatusPane psInfo{*this, "psInfo"};
    Forms::TProgressPane psProgress{*this, "psProgress"};

    void FormCreate() override;
    // The standard activation: PrepareErrorLog, ReadSettings, ResetRun.
    // Dialogs with their own order call the pieces themselves.
    void FormActivate() override;
    // Names the error file ("DOWNLOAD" + PathDelim + plug-in file name with
    // ".err") and deletes it when it exists.
    void PrepareErrorLog();
    // LastRunDone false, progress memo cleared, progress at 0.
    void ResetRun();

    // Appends Level x 3 blanks and Text to the current line, ends the line
    // when asked, keeps the end in view and lets the dialog repaint.
    void MsgProgress(int Level, const std::string& Text, bool EndLine);
    // Shows the integer part of Fraction x 100 percent.
    void ShowProgress(double Fraction);
    static void AppendErrorLog(const std::string& Path, const std::string& Line);

    // Host helpers: a parameter, a host-log line, a message box.
    std::string HostParameter(const std::string& name);
    void WriteLog(const std::string& text);
    void MessageBox(const std::string& text, const std::string& caption, int kind);

    // Host-log texts of OpenDatabase / CloseDatabase; dialogs on an update
    // database set their own.
    std::string ConnectText = "Connect Zemrak log database: ";
    std::string DisconnectText = "Disconnect Zemrak log database.";
    // Closes Connection, opens Path on it (deny-none sharing, no login
    // prompt) and logs ConnectText + Path. Any failure is raised again as a
    // plain Exception with the same message.
    void OpenDatabase(TADOConnection& Connection, const std::string& Path);
    // Closes Connection and logs DisconnectText.
    void CloseDatabase(TADOConnection& Connection);

protected:
    // Reads the dialog's own settings; called by FormActivate.
    virtual void ReadSettings() {}
};

// The click action's last step: hands the dialog the host references, the
// settings file, the section and the caption, shows it modally.
void ShowPluginDialog(TPluginDialog& dialog, TPlugin& plugin);
