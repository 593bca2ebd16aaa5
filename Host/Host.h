// The host application the plug-ins plug into: profile, database, settings,
// log, menu, and one core object per loaded plug-in.
#pragma once

#include "Host/HostDatabase.h"
#include "Host/HostQuery.h"
#include "Platform/OleAuto/ComPtr.h"
#include "PluginAPI/PluginAPI.h"

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

struct THostOptions {
    fs::path Profile;
    fs::path PluginDir;
    fs::path AppPath; // the program's folder ("APPPATH")
    // Interfaces the core answers; tests switch them off.
    bool WithHostServer = true;
    bool WithWindows = true;
    bool WithMenuManager = true;
    bool WithIcons = true;
    std::optional<std::int32_t> CoreVersion;       // else [Host] CoreVersion, else 104019
    WindowHandle ApplicationHandle = 0;            // 0: no window (console dialogs)
    std::ostream* Messages = nullptr;              // MessageBox and ShowMessage; default std::cerr
    std::function<void(const std::string&)> Trace; // every host call, when set
    // A graphical host's hooks, each when set: a host-log line once written,
    // a host command (ExecuteCommand), the start (true) and end (false) of a
    // plug-in's modal dialog, and messages in place of the Messages stream.
    std::function<void(const std::string& line)> OnLog;
    std::function<void(const std::string& name, const std::string& parameter)> OnCommand;
    std::function<void(bool begin)> OnModal;
    std::function<void(const std::string& caption, const std::string& text)> OnMessage;
};

class THost;
class TCoreObject;
class TMenuItemObject;

// One loaded plug-in library.
struct TLoadedPlugin {
    fs::path File;
    void* Library = nullptr;
    TCoreObject* Core = nullptr;
    ComPtr<IPlugin> Plugin;
    HRESULT InitResult = 0;
    std::string Name, Version;
    std::int32_t Kind = 0;
    GUID ID{};
};

// A menu command registered by a plug-in.
struct TMenuCommand {
    TMenuItemObject* Item = nullptr;
    TLoadedPlugin* Owner = nullptr;
};

// How the last chosen command went, as far as the host can tell.
struct TRunOutcome {
    HRESULT Result = 0;     // Notify's result
    int Messages = 0;       // message boxes and messages shown (warnings, errors)
    int RefusedActions = 0; // action lines the console refused
    int ErrorsShown = 0;    // error messages the console showed
};

// A library of the plug-in folder that could not be loaded, and why.
struct TSkippedPlugin {
    fs::path File;
    std::string Reason;
};

// The kind a plug-in reports, as a word: Export (0), Logbook (1), Import (2).
std::string PluginKindName(std::int32_t kind);

class THost {
public:
    explicit THost(THostOptions options);
    ~THost();
    THost(const THost&) = delete;
    THost& operator=(const THost&) = delete;

    // Creates a profile: database with every table, settings file, download folder.
    static void InitProfile(const fs::path& profile);

    // Loads every *.ext of the plug-in folder, in name order; a file that is
    // no loadable plug-in is skipped (Skipped()) and the others load.
    void LoadPlugins();
    // Loads one library; a refused plug-in stays listed with its result code.
    // EOSError when the file is no library or lacks the two exports.
    TLoadedPlugin& Load(const fs::path& file);
    const std::vector<TSkippedPlugin>& Skipped() const { return skipped_; }
    // A core object for code that runs in this process without a library
    // (tests); PLUGIN.NAME answers pluginFileName.
    ICore* AttachCore(const std::string& pluginFileName);
    // Calls Destroying, releases, calls the finalisation export, unloads; in
    // reverse load order.
    void UnloadAll();

    const std::vector<std::unique_ptr<TLoadedPlugin>>& Plugins() const { return plugins_; }
    std::vector<TMenuCommand> Menu() const;
    // The command whose menu caption or plug-in name is name, ignoring
    // letter case; null when there is none.
    const TMenuCommand* FindCommand(const std::string& name) const;
    // Chooses a menu command (FindCommand) as the user would; answers
    // Notify's result. Throws EArgumentException for an unknown name.
    HRESULT Run(const std::string& name);
    // What happened during the last Run.
    const TRunOutcome& LastOutcome() const { return outcome_; }
    void ConsoleSessionEnded(int refusedActions, int errorsShown);
    // The plug-in error files (download/*.err) the last Run wrote or grew.
    const std::vector<fs::path>& LastRunErrorFiles() const { return lastRunErrorFiles_; }

    // Host facilities used by the core objects.
    const THostOptions& Options() const { return options_; }
    std::int32_t CoreVersion() const;
    std::string Parameter(const std::string& name, const TLoadedPlugin* plugin) const;
    void WriteLog(const std::string& text);
    void Message(const std::string& caption, const std::string& text);
    void Trace(const std::string& call);
    // The host database; its raw handle for code that inspects it directly.
    TSqliteDatabase& Connection() { return db_; }
    sqlite3* Database() { return db_.Handle(); }
    fs::path LogPath() const { return options_.Profile / "host.log"; }
    fs::path SettingsPath() const { return options_.Profile / "host.ini"; }
    fs::path DatabasePath() const { return options_.Profile / "host.db"; }

    // Query handles shared by every plug-in's server.
    std::uint32_t CreateQuery();
    THostQuery& Query(std::uint32_t handle);
    void FreeQuery(std::uint32_t handle);
    // Runs one statement; the number of rows changed, 0 when refused.
    std::int32_t ExecSQL(const std::string& jet);

    // Menu bookkeeping for TMenuItemObject / the menu manager.
    void AddMenuItem(TMenuItemObject* item, TLoadedPlugin* owner);
    bool RemoveMenuItem(TMenuItemObject* item);

    // Reference counts of the host's objects, for leak checks.
    std::int32_t OutstandingReferences() const;
    int ModalDepth = 0;
    int MenuDeletions = 0;
    std::vector<std::string> Commands; // ExecuteCommand calls, "NAME PARAMETER"

private:
    std::vector<fs::path> lastRunErrorFiles_;
    THostOptions options_;
    THostDb db_;
    std::vector<std::unique_ptr<TLoadedPlugin>> plugins_;
    std::vector<TSkippedPlugin> skipped_;
    TRunOutcome outcome_;
    std::vector<std::unique_ptr<TCoreObject>> cores_;
    std::vector<TMenuCommand> menu_;
    std::vector<TMenuItemObject*> allItems_;
    std::map<std::uint32_t, THostQuery> queries_;
    std::uint32_t nextQuery_ = 1;
    std::map<std::string, std::string> hostSection_; // [Host] of the settings file, upper-case keys
};
