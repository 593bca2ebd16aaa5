// A query handle of the host database (IHostServer) as an object: created
// on construction, freed on destruction, every host result checked.
#pragma once

#include "PluginAPI/PluginAPI.h"
#include "Platform/DateTime/DateTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class TServerQuery {
public:
    // CreateQuery on server (which must outlive the query).
    explicit TServerQuery(IHostServer* server);
    // Frees the handle when Free has not; failures are ignored here.
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
    bool freed_ = false;
};
