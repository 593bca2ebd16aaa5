#include "Host/Host.h"

#include "Host/HostObjects.h"
#include "Platform/DateTime/DateTime.h"
#include "Platform/IniFile/IniFile.h"
#include "Platform/JetSql/JetSql.h"
#include "Platform/SysUtils/AsciiCase.h"
#include "Platform/SysUtils/SysUtils.h"

#include <dlfcn.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <map>

namespace {

constexpr std::int32_t DefaultCoreVersion = 104019;

std::string ReadHostText(IPlugin* plugin, HRESULT (PLUGIN_CALL IPlugin::*getter)(BSTR*))
{
    WideString s;
    return (plugin->*getter)(s.Out()) == S_OK ? s.Utf8() : std::string();
}

} // namespace

std::string PluginKindName(std::int32_t kind)
{
    switch (kind) {
    case 0:
        return "Export";
    case 1:
        return "Logbook";
    case 2:
        return "Import";
    default:
        return "Other";
    }
}

THost::THost(THostOptions options) : options_(std::move(options))
{
    if (options_.Profile.empty()) throw EArgumentException("No profile folder given");
    if (!fs::exists(DatabasePath()))
        throw EFOpenError("No host profile in '" + options_.Profile.string() + "' (create one with: hamhost init)");
    db_ = OpenHostDatabase(DatabasePath(), false);
    TIniFile ini(SettingsPath().string());
    for (const auto& key : ini.ReadSection("Host"))
        hostSection_[AsciiUpper(key)] = ini.ReadString("Host", key, "");
}

THost::~THost()
{
    try {
        UnloadAll();
    } catch (...) {
    }
    for (auto* item : allItems_)
        delete item;
}

void THost::InitProfile(const fs::path& profile)
{
    fs::create_directories(profile / "download");
    {
        THostDb db = OpenHostDatabase(profile / "host.db", true);
        CreateHostSchema(db);
    }
    TIniFile ini((profile / "host.ini").string());
    auto setDefault = [&](const char* key, const std::string& value) {
        if (!ini.ValueExists("Host", key)) ini.WriteString("Host", key, value);
    };
    setDefault("APPNAME", "hamhost");
    setDefault("APPLICATION", "hamhost");
    setDefault("APPVERSION", "1.04.019");
    setDefault("LOG.NAME", "Main log");
    setDefault("LOG.TABLE", "MAIN");
    setDefault("LOG.OPERATOR", "N0CALL");
    setDefault("LOG.EXPIRE", "2099-12-31 23:59");
    setDefault("CoreVersion", std::to_string(DefaultCoreVersion));
}

std::int32_t THost::CoreVersion() const
{
    if (options_.CoreVersion) return *options_.CoreVersion;
    auto it = hostSection_.find("COREVERSION");
    if (it != hostSection_.end()) {
        try {
            return std::stoi(it->second);
        } catch (const std::exception&) {
            throw EConvertError("Invalid CoreVersion '" + it->second + "' in " + SettingsPath().string());
        }
    }
    return DefaultCoreVersion;
}

std::string THost::Parameter(const std::string& name, const TLoadedPlugin* plugin) const
{
    std::string key = AsciiUpper(name);
    if (key == "APPINI") return SettingsPath().string();
    if (key == "DOWNLOAD") return (options_.Profile / "download").string();
    if (key == "PLUGIN.NAME") return plugin ? plugin->File.filename().string() : std::string();
    if (key == "APPPATH") return options_.AppPath.string();
    auto it = hostSection_.find(key);
    return it == hostSection_.end() ? std::string() : it->second;
}

void THost::WriteLog(const std::string& text)
{
    std::ofstream log(LogPath(), std::ios::app);
    if (!log) throw EInOutError("Cannot write host log '" + LogPath().string() + "'");
    const std::string line = DateTimeToCanonical(Now()) + '\t' + text;
    log << line << '\n';
    log.close();
    if (options_.OnLog) options_.OnLog(line);
}

void THost::Message(const std::string& caption, const std::string& text)
{
    ++outcome_.Messages;
    if (options_.OnMessage) return options_.OnMessage(caption, text);
    std::ostream& out = options_.Messages ? *options_.Messages : std::cerr;
    out << caption << ": " << text << std::endl;
}

void THost::Trace(const std::string& call)
{
    if (options_.Trace) options_.Trace(call);
}

std::uint32_t THost::CreateQuery()
{
    std::uint32_t h = nextQuery_++;
    queries_.try_emplace(h);
    return h;
}

THostQuery& THost::Query(std::uint32_t handle)
{
    auto it = queries_.find(handle);
    if (it == queries_.end()) throw EOleException("Invalid query handle " + std::to_string(handle), E_FAIL, "hamhost");
    return it->second;
}

void THost::FreeQuery(std::uint32_t handle)
{
    if (queries_.erase(handle) == 0)
        throw EOleException("Invalid query handle " + std::to_string(handle), E_FAIL, "hamhost");
}

std::int32_t THost::ExecSQL(const std::string& jet)
{
    if (!db_.IsOpen()) throw EOleException("Host database is not open", E_FAIL, "hamhost");
    std::optional<TSqliteStatement> statement;
    try {
        // Only the first statement of the text runs.
        statement.emplace(db_, JetToSqlite(jet), TSqliteStatement::TTail::Ignore);
    } catch (const EOleException&) {
        return 0;
    }
    // changes() keeps the count of the last INSERT, UPDATE or DELETE, so it
    // is only looked at when this statement changed rows.
    const auto before = db_.TotalChanges();
    try {
        while (statement->Step()) {
        }
    } catch (const EOleException&) {
        // A refused statement changes nothing; a fault of the file is an error.
        if (db_.FileFault()) throw;
        return 0;
    }
    return db_.TotalChanges() == before ? 0 : static_cast<std::int32_t>(db_.Changes());
}

void THost::AddMenuItem(TMenuItemObject* item, TLoadedPlugin* owner)
{
    allItems_.push_back(item);
    menu_.push_back({item, owner});
}

bool THost::RemoveMenuItem(TMenuItemObject* item)
{
    auto it = std::find_if(menu_.begin(), menu_.end(), [&](const TMenuCommand& c) { return c.Item == item; });
    if (it == menu_.end()) return false;
    it->Item->OnClick.Reset();
    menu_.erase(it);
    return true;
}

std::vector<TMenuCommand> THost::Menu() const
{
    return menu_;
}

void THost::LoadPlugins()
{
    std::vector<fs::path> files;
    if (fs::is_directory(options_.PluginDir))
        for (const auto& entry : fs::directory_iterator(options_.PluginDir))
            if (entry.path().extension() == ".ext") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        try {
            Load(f);
        } catch (const EOSError& e) {
            skipped_.push_back({f, e.Message()});
        }
    }
}

TLoadedPlugin& THost::Load(const fs::path& file)
{
    auto plugin = std::make_unique<TLoadedPlugin>();
    plugin->File = file;
    // Libraries stay mapped after unloading: what they pulled in (toolkit
    // run-times) may keep allocations alive until the process ends.
    plugin->Library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!plugin->Library) throw EOSError(std::string("Cannot load plug-in: ") + dlerror(), 0);
    auto init = reinterpret_cast<TPluginInitProc>(dlsym(plugin->Library, PLUGIN_INIT_EXPORT));
    if (!init || !dlsym(plugin->Library, PLUGIN_DONE_EXPORT)) {
        dlclose(plugin->Library);
        throw EOSError("'" + file.string() + "' is not a plug-in (its exports are missing)", 0);
    }
    cores_.push_back(std::make_unique<TCoreObject>(*this, *plugin));
    plugin->Core = cores_.back().get();
    Trace("load " + file.filename().string());
    IPlugin* raw = nullptr;
    plugin->InitResult = init(plugin->Core, &raw);
    plugin->Plugin = ComPtr<IPlugin>::Adopt(raw);
    if (plugin->InitResult == S_OK && plugin->Plugin) {
        IPlugin* p = plugin->Plugin.Get();
        plugin->Name = ReadHostText(p, &IPlugin::GetName);
        plugin->Version = ReadHostText(p, &IPlugin::GetVersion);
        p->GetKind(&plugin->Kind);
        p->GetID(&plugin->ID);
    }
    plugins_.push_back(std::move(plugin));
    return *plugins_.back();
}

ICore* THost::AttachCore(const std::string& pluginFileName)
{
    auto plugin = std::make_unique<TLoadedPlugin>();
    plugin->File = options_.PluginDir / pluginFileName;
    cores_.push_back(std::make_unique<TCoreObject>(*this, *plugin));
    plugin->Core = cores_.back().get();
    plugins_.push_back(std::move(plugin));
    return plugins_.back()->Core;
}

void THost::UnloadAll()
{
    while (!plugins_.empty()) {
        auto& plugin = *plugins_.back();
        if (plugin.Plugin) {
            auto notify = ComPtr<IDestroyNotify>::Query(plugin.Plugin.Get(), IID_IDestroyNotify);
            Trace("IDestroyNotify.Destroying");
            if (notify) notify->Destroying();
            notify.Reset();
            plugin.Plugin.Reset();
        }
        if (plugin.Library) {
            if (auto done = reinterpret_cast<TPluginDoneProc>(dlsym(plugin.Library, PLUGIN_DONE_EXPORT))) {
                Trace("done " + plugin.File.filename().string());
                done();
            }
            dlclose(plugin.Library);
        }
        plugins_.pop_back();
    }
}

namespace {

// The plug-ins' error files in the download folder, with size and time.
std::map<fs::path, std::pair<std::uintmax_t, fs::file_time_type>> ErrorFiles(const fs::path& folder)
{
    std::map<fs::path, std::pair<std::uintmax_t, fs::file_time_type>> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() != ".err" || !it->is_regular_file(ec)) continue;
        const auto size = it->file_size(ec);
        if (ec || size == 0) continue;
        files[it->path()] = {size, it->last_write_time(ec)};
    }
    return files;
}

} // namespace

void THost::ConsoleSessionEnded(int refusedActions, int errorsShown)
{
    outcome_.RefusedActions += refusedActions;
    outcome_.ErrorsShown += errorsShown;
}

const TMenuCommand* THost::FindCommand(const std::string& name) const
{
    const std::string key = AsciiUpper(name);
    for (const auto& c : menu_)
        if (AsciiUpper(c.Item->Caption) == key || (c.Owner && AsciiUpper(c.Owner->Name) == key)) return &c;
    return nullptr;
}

HRESULT THost::Run(const std::string& name)
{
    const TMenuCommand* command = FindCommand(name);
    if (!command) throw EArgumentException("No menu command \"" + name + "\"");
    outcome_ = {};
    lastRunErrorFiles_.clear();
    TMenuItemObject* item = command->Item;
    const std::string caption = item->Caption;
    ComPtr<INotifyEvent> handler = item->OnClick;
    if (!handler) return S_OK;
    Trace("INotifyEvent.Notify");
    // Error files new or changed by the run are told to the user afterwards.
    const fs::path download = options_.Profile / "download";
    const auto before = ErrorFiles(download);
    struct TTellErrors {
        THost& host;
        const fs::path& download;
        const std::map<fs::path, std::pair<std::uintmax_t, fs::file_time_type>>& before;
        ~TTellErrors()
        {
            for (const auto& [path, stamp] : ErrorFiles(download)) {
                const auto old = before.find(path);
                if (old == before.end() || old->second != stamp) host.lastRunErrorFiles_.push_back(path);
            }
        }
    } tell{*this, download, before};
    HRESULT hr = handler->Notify(static_cast<IMenuItem*>(item));
    outcome_.Result = hr;
    if (hr < 0) {
        IErrorInfo* info = nullptr;
        std::string text = "Command failed";
        if (GetErrorInfo(0, &info) == S_OK && info) {
            WideString d;
            if (info->GetDescription(d.Out()) == S_OK && !d.Empty()) text = d.Utf8();
            info->Release();
        }
        Message(caption, text);
    }
    return hr;
}

std::int32_t THost::OutstandingReferences() const
{
    std::int32_t n = 0;
    for (const auto& c : cores_)
        n += c->Refs();
    for (const auto* item : allItems_)
        n += item->Refs();
    return n;
}
