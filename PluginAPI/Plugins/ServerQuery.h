// A query handle of the host database (IHostServer) as an object: created on
// construction and freed on every way out. Close and Free are checked, for
// the runs that must report a failure of either; what the destructor does
// instead is unchecked, and the closing it does is chosen per use, as each
// plug-in's order of calls on the host is part of its behaviour.
#pragma once

#include "Platform/DateTime/DateTime.h"
#include "PluginAPI/PluginAPI.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class TServerQuery {
public:
    // Whether the destructor calls CloseQuery before FreeQuery (when Free has
    // not run): never, always, or when an Open succeeded and no Close followed.
    enum class TCloseOnRelease { Never, Always, WhenOpen };

    // CreateQuery on server (which must outlive the query).
    explicit TServerQuery(IHostServer* server, TCloseOnRelease closeOnRelease = TCloseOnRelease::Never);
    ~TServerQuery();
    TServerQuery(const TServerQuery&) = delete;
    TServerQuery& operator=(const TServerQuery&) = delete;

    QueryHandle Handle() const noexcept { return handle_; }
    bool Freed() const noexcept { return freed_; }

    void Open(std::string_view sql);
    std::int32_t RecordCount();
    void First();
    void Next();
    bool Eof();
    bool Locate(const WideString& field, std::string_view value);
    // Column values of the current row; hasValue tells a NULL apart.
    std::string GetString(const WideString& field, bool* hasValue = nullptr);
    std::int32_t GetInteger(const WideString& field, bool* hasValue = nullptr);
    bool GetBoolean(const WideString& field, bool* hasValue = nullptr);
    // Nothing for a NULL.
    std::optional<TDateTime> GetDateTime(const WideString& field);
    void Requery();
    void Close();
    // FreeQuery now; the destructor then does nothing.
    void Free();

private:
    IHostServer* server_;
    QueryHandle handle_ = 0;
    TCloseOnRelease closeOnRelease_;
    bool open_ = false;
    bool freed_ = false;
};
