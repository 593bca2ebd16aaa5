// The graphical host's main window: the plug-ins' commands in menus by kind,
// the host callbook as a table, the host log as it grows. Plug-in dialogs
// are owned by it (found by its handle) and tell it when they show and close.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>

#include <QString>
#include <QTableView>
#include <vector>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

class THost;
class TCallbookModel;

// A scripted run's wishes: actions for the dialog and where its pictures go.
struct TScriptedRun {
    bool Active = false;
    QString Actions;
    QString Screenshot;       // when the dialog is shown
    QString FinalScreenshot;  // when it is about to close
    QString WindowScreenshot; // the main window after the command
};

class TMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainWindow(const std::filesystem::path& profile);

    // The handle the host reports as its application window.
    std::uint32_t Handle();
    // Menus of the host's commands and the callbook of its database.
    void Attach(THost& host);

    // Host hooks.
    void AppendLog(const std::string& line);
    void Command(const std::string& name, const std::string& parameter);
    void Modal(bool begin);
    void Message(const std::string& caption, const std::string& text);

    // Chooses a menu command as the user would; the host's answer.
    int RunCommand(const QString& caption);
    int Refreshes() const { return refreshes_; }
    // Rows in the callbook table once every page is fetched.
    int CallbookRows();

    TScriptedRun Script;

    Q_INVOKABLE QString dialogShown(QWidget* dialog);
    Q_INVOKABLE void dialogClosing(QWidget* dialog);

private:
    void ReloadCallbook();
    void LoadLogTail();
    void OpenErrorFiles();

    std::filesystem::path profile_;
    THost* host_ = nullptr;
    TCallbookModel* callbook_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* callbookTitle_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    // Opens the error files the last run wrote; enabled when there are some.
    QAction* openErrors_ = nullptr;
    std::vector<std::filesystem::path> errorFiles_;
    int modalDepth_ = 0;
    int refreshes_ = 0;
    int progressPeak_ = -1;
};
