#include "PluginAPI/Plugins/ServerQuery.h"

#include "PluginAPI/Plugins/Helpers.h"

TServerQuery::TServerQuery(IHostServer* server, TCloseOnRelease closeOnRelease)
    : server_(server), closeOnRelease_(closeOnRelease)
{
    CheckHostResult(server_->CreateQuery(&handle_));
}

TServerQuery::~TServerQuery()
{
    if (freed_) return;
    if (closeOnRelease_ == TCloseOnRelease::Always || (closeOnRelease_ == TCloseOnRelease::WhenOpen && open_))
        server_->CloseQuery(handle_);
    server_->FreeQuery(handle_);
}

void TServerQuery::Open(std::string_view sql)
{
    CheckHostResult(server_->OpenQuery(handle_, WideString(sql).c_bstr()));
    open_ = true;
}

std::int32_t TServerQuery::RecordCount()
{
    std::int32_t count = 0;
    CheckHostResult(server_->GetRecordCount(handle_, &count));
    return count;
}

void TServerQuery::First()
{
    CheckHostResult(server_->First(handle_));
}

void TServerQuery::Next()
{
    CheckHostResult(server_->Next(handle_));
}

bool TServerQuery::Eof()
{
    BOOL32 eof = 0;
    CheckHostResult(server_->Eof(handle_, &eof));
    return eof != 0;
}

bool TServerQuery::Locate(const WideString& field, std::string_view value)
{
    BOOL32 found = 0;
    CheckHostResult(server_->Locate(handle_, field.c_bstr(), WideString(value).c_bstr(), &found));
    return found != 0;
}

std::string TServerQuery::GetString(const WideString& field, bool* hasValue)
{
    WideString value;
    BOOL32 has = 0;
    CheckHostResult(server_->GetString(handle_, field.c_bstr(), value.Out(), &has));
    if (hasValue) *hasValue = has != 0;
    return value.Utf8();
}

std::int32_t TServerQuery::GetInteger(const WideString& field, bool* hasValue)
{
    std::int32_t value = 0;
    BOOL32 has = 0;
    CheckHostResult(server_->GetInteger(handle_, field.c_bstr(), &value, &has));
    if (hasValue) *hasValue = has != 0;
    return value;
}

bool TServerQuery::GetBoolean(const WideString& field, bool* hasValue)
{
    BOOL32 value = 0;
    BOOL32 has = 0;
    CheckHostResult(server_->GetBoolean(handle_, field.c_bstr(), &value, &has));
    if (hasValue) *hasValue = has != 0;
    return value != 0;
}

std::optional<TDateTime> TServerQuery::GetDateTime(const WideString& field)
{
    WORD year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    BOOL32 has = 0;
    CheckHostResult(server_->GetDateTime(handle_, field.c_bstr(), &year, &month, &day, &hour, &minute, &second, &has));
    if (!has) return std::nullopt;
    return EncodeDateTime(TDateParts{year, month, day, hour, minute, second, 0});
}

void TServerQuery::Requery()
{
    CheckHostResult(server_->Requery(handle_));
}

void TServerQuery::Close()
{
    open_ = false;
    CheckHostResult(server_->CloseQuery(handle_));
}

void TServerQuery::Free()
{
    if (freed_) return;
    freed_ = true;
    CheckHostResult(server_->FreeQuery(handle_));
}
