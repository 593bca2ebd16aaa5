#include "Host/HostObjects.h"

#include "Platform/DateTime/DateTime.h"
#include "Platform/SysUtils/AsciiCase.h"
#include "Platform/SysUtils/SysUtils.h"

namespace {

std::string Text(const char16_t* s)
{
    return BstrToUtf8(s);
}

template <class T> void Need(T* out)
{
    if (!out) throw EOleException("Missing result variable", E_POINTER, "hamhost");
}

std::string IidName(const GUID& iid)
{
    static const std::pair<GUID, const char*> names[] = {
        {IID_IInterface, "IInterface"},
        {IID_ICore, "ICore"},
        {IID_IHostKernel, "IHostKernel"},
        {IID_IHostServer, "IHostServer"},
        {IID_IApplicationWindows, "IApplicationWindows"},
        {IID_IMenuManager, "IMenuManager"},
        {IID_IApplicationIcons, "IApplicationIcons"},
        {IID_IConsoleSession, "IConsoleSession"},
        {IID_IMenuItem, "IMenuItem"},
    };
    for (auto& [guid, name] : names)
        if (guid == iid) return name;
    return GuidToString(iid);
}

} // namespace

HRESULT HostFailure(const std::exception_ptr& e) noexcept
{
    HRESULT code = E_FAIL;
    std::string message = "Unknown failure";
    try {
        std::rethrow_exception(e);
    } catch (const EOleSysError& ex) {
        code = ex.ErrorCode() < 0 ? ex.ErrorCode() : E_FAIL;
        message = ex.Message();
    } catch (const std::exception& ex) {
        message = ex.what();
    } catch (...) {
    }
    ICreateErrorInfo* create = nullptr;
    if (CreateErrorInfo(&create) == S_OK) {
        create->SetSource(WideString("hamhost").c_bstr());
        create->SetDescription(WideString(message).c_bstr());
        IErrorInfo* info = nullptr;
        if (create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)) == S_OK) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return code;
}

// --- menu items --------------------------------------------------------------

HRESULT TMenuItemObject::QueryInterface(const GUID& iid, void** obj)
{
    if (!obj) return E_POINTER;
    if (iid == IID_IInterface || iid == IID_IMenuItem) {
        *obj = static_cast<IMenuItem*>(this);
        AddRef();
        return S_OK;
    }
    *obj = nullptr;
    return E_NOINTERFACE;
}

std::int32_t TMenuItemObject::Release()
{
    // The host keeps the object until it unloads; the count shows leaks.
    return --refs_;
}

HRESULT TMenuItemObject::GetEnabled(BOOL32* enabled)
{
    host_.Trace("IMenuItem.GetEnabled");
    return HostCall([&] {
        Need(enabled);
        *enabled = Enabled ? TRUE32 : 0;
    });
}

HRESULT TMenuItemObject::SetCaption(const char16_t* caption)
{
    Caption = Text(caption);
    host_.Trace("IMenuItem.SetCaption " + Caption);
    return S_OK;
}

HRESULT TMenuItemObject::SetTag(std::int32_t tag)
{
    Tag = tag;
    host_.Trace("IMenuItem.SetTag " + std::to_string(tag));
    return S_OK;
}

HRESULT TMenuItemObject::SetEnabled(BOOL32 enabled)
{
    Enabled = enabled != 0;
    host_.Trace(std::string("IMenuItem.SetEnabled ") + (Enabled ? "true" : "false"));
    return S_OK;
}

HRESULT TMenuItemObject::SetHint(const char16_t* hint)
{
    Hint = Text(hint);
    host_.Trace("IMenuItem.SetHint " + Hint);
    return S_OK;
}

HRESULT TMenuItemObject::SetKind(std::int32_t kind)
{
    Kind = kind;
    host_.Trace("IMenuItem.SetKind " + std::to_string(kind));
    return S_OK;
}

HRESULT TMenuItemObject::SetOnClick(INotifyEvent* handler)
{
    OnClick = ComPtr<INotifyEvent>(handler);
    host_.Trace("IMenuItem.SetOnClick");
    return S_OK;
}

// --- the core ------------------------------------------------------------------

HRESULT TCoreObject::QueryInterface(const GUID& iid, void** obj)
{
    if (!obj) return E_POINTER;
    *obj = nullptr;
    const auto& o = host_.Options();
    if (iid == IID_IInterface || iid == IID_ICore)
        *obj = static_cast<ICore*>(this);
    else if (iid == IID_IHostKernel)
        *obj = static_cast<IHostKernel*>(this);
    else if (iid == IID_IHostServer && o.WithHostServer)
        *obj = static_cast<IHostServer*>(this);
    else if (iid == IID_IApplicationWindows && o.WithWindows)
        *obj = static_cast<IApplicationWindows*>(this);
    else if (iid == IID_IMenuManager && o.WithMenuManager)
        *obj = static_cast<IMenuManager*>(this);
    else if (iid == IID_IApplicationIcons && o.WithIcons)
        *obj = static_cast<IApplicationIcons*>(this);
    else if (iid == IID_IConsoleSession)
        *obj = static_cast<IConsoleSession*>(this);
    host_.Trace("ICore.QueryInterface " + IidName(iid) + (*obj ? "" : " (none)"));
    if (!*obj) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT TCoreObject::GetVersion(std::int32_t* version)
{
    host_.Trace("ICore.GetVersion");
    return HostCall([&] {
        Need(version);
        *version = host_.CoreVersion();
    });
}

HRESULT TCoreObject::WriteLog(const char16_t* text)
{
    host_.Trace("IHostKernel.WriteLog");
    return HostCall([&] { host_.WriteLog(Text(text)); });
}

HRESULT TCoreObject::ShowMessage(const char16_t* text, const char16_t* caption)
{
    host_.Trace("IHostKernel.ShowMessage");
    return HostCall([&] { host_.Message(Text(caption), Text(text)); });
}

HRESULT TCoreObject::MessageBox(const char16_t* text, const char16_t* caption, std::int32_t kind, std::int32_t buttons,
                                std::int32_t* result)
{
    host_.Trace("IHostKernel.MessageBox " + std::to_string(kind) + " " + std::to_string(buttons));
    return HostCall([&] {
        host_.Message(Text(caption), Text(text));
        if (result) *result = 1; // OK
    });
}

HRESULT TCoreObject::ExecuteCommand(const char16_t* command, const char16_t* parameter)
{
    host_.Trace("IHostKernel.ExecuteCommand");
    return HostCall([&] {
        std::string line = Text(command) + " " + Text(parameter);
        host_.Commands.push_back(line);
        host_.WriteLog("Command: " + line);
        if (host_.Options().OnCommand) host_.Options().OnCommand(Text(command), Text(parameter));
    });
}

HRESULT TCoreObject::GetParameter(const char16_t* name, BSTR* value)
{
    host_.Trace("IHostKernel.GetParameter " + Text(name));
    return HostCall([&] {
        Need(value);
        *value = WideString(host_.Parameter(Text(name), &plugin_)).Detach();
    });
}

HRESULT TCoreObject::TableExists(const char16_t* table, BOOL32* exists)
{
    host_.Trace("IHostServer.TableExists " + Text(table));
    return HostCall([&] {
        Need(exists);
        TSqliteStatement statement(host_.Connection(), "SELECT 1 FROM sqlite_master WHERE type IN ('table','view') "
                                                       "AND name = ?1 COLLATE NOCASE");
        statement.BindText(1, Text(table));
        *exists = statement.Step() ? TRUE32 : 0;
    });
}

HRESULT TCoreObject::FieldExists(const char16_t* table, const char16_t* field, BOOL32* exists)
{
    host_.Trace("IHostServer.FieldExists " + Text(table) + " " + Text(field));
    return HostCall([&] {
        Need(exists);
        TSqliteStatement statement(host_.Connection(),
                                   "SELECT 1 FROM pragma_table_info(?1) WHERE name = ?2 COLLATE NOCASE");
        statement.BindText(1, Text(table));
        statement.BindText(2, Text(field));
        *exists = statement.Step() ? TRUE32 : 0;
    });
}

HRESULT TCoreObject::CreateQuery(QueryHandle* handle)
{
    host_.Trace("IHostServer.CreateQuery");
    return HostCall([&] {
        Need(handle);
        *handle = host_.CreateQuery();
    });
}

HRESULT TCoreObject::OpenQuery(QueryHandle handle, const char16_t* sql)
{
    host_.Trace("IHostServer.OpenQuery");
    return HostCall([&] { host_.Query(handle).Open(host_.Connection(), Text(sql)); });
}

HRESULT TCoreObject::GetRecordCount(QueryHandle handle, std::int32_t* count)
{
    return HostCall([&] {
        Need(count);
        auto& q = host_.Query(handle);
        if (!q.Active()) throw EOleException("Query is not open", E_FAIL, "hamhost");
        *count = q.RecordCount();
    });
}

HRESULT TCoreObject::First(QueryHandle handle)
{
    return HostCall([&] { host_.Query(handle).First(); });
}

HRESULT TCoreObject::Next(QueryHandle handle)
{
    return HostCall([&] { host_.Query(handle).Next(); });
}

HRESULT TCoreObject::Eof(QueryHandle handle, BOOL32* eof)
{
    return HostCall([&] {
        Need(eof);
        *eof = host_.Query(handle).Eof() ? TRUE32 : 0;
    });
}

HRESULT TCoreObject::Locate(QueryHandle handle, const char16_t* field, const char16_t* value, BOOL32* found)
{
    return HostCall([&] {
        Need(found);
        *found = host_.Query(handle).Locate(Text(field), Text(value)) ? TRUE32 : 0;
    });
}

HRESULT TCoreObject::GetString(QueryHandle handle, const char16_t* field, BSTR* value, BOOL32* hasValue)
{
    return HostCall([&] {
        Need(value);
        Need(hasValue);
        const TCell& c = host_.Query(handle).Field(Text(field));
        *hasValue = c.Kind == TCell::TKind::Null ? 0 : TRUE32;
        *value = WideString(c.AsText()).Detach();
    });
}

HRESULT TCoreObject::GetInteger(QueryHandle handle, const char16_t* field, std::int32_t* value, BOOL32* hasValue)
{
    return HostCall([&] {
        Need(value);
        Need(hasValue);
        const TCell& c = host_.Query(handle).Field(Text(field));
        *value = 0;
        *hasValue = 0;
        switch (c.Kind) {
        case TCell::TKind::Null:
            return;
        case TCell::TKind::Integer:
            *value = static_cast<std::int32_t>(c.Int);
            break;
        case TCell::TKind::Real:
            *value = static_cast<std::int32_t>(c.Real);
            break;
        case TCell::TKind::Text:
            try {
                std::size_t used = 0;
                long long v = std::stoll(c.Text, &used);
                if (used != c.Text.size()) throw std::invalid_argument(c.Text);
                *value = static_cast<std::int32_t>(v);
            } catch (const std::exception&) {
                throw EOleException("'" + c.Text + "' is not a valid integer value for field '" + Text(field) + "'",
                                    E_FAIL, "hamhost");
            }
        }
        *hasValue = TRUE32;
    });
}

HRESULT TCoreObject::GetBoolean(QueryHandle handle, const char16_t* field, BOOL32* value, BOOL32* hasValue)
{
    return HostCall([&] {
        Need(value);
        Need(hasValue);
        const TCell& c = host_.Query(handle).Field(Text(field));
        *value = 0;
        *hasValue = c.Kind == TCell::TKind::Null ? 0 : TRUE32;
        if (c.Kind == TCell::TKind::Integer) *value = c.Int != 0 ? TRUE32 : 0;
        if (c.Kind == TCell::TKind::Real) *value = c.Real != 0 ? TRUE32 : 0;
        if (c.Kind == TCell::TKind::Text) {
            std::string t = AsciiUpper(c.Text);
            *value = (t == "TRUE" || t == "1" || t == "-1" || t == "YES") ? TRUE32 : 0;
        }
    });
}

HRESULT TCoreObject::GetDateTime(QueryHandle handle, const char16_t* field, WORD* year, WORD* month, WORD* day,
                                 WORD* hour, WORD* minute, WORD* second, BOOL32* hasValue)
{
    return HostCall([&] {
        Need(year), Need(month), Need(day), Need(hour), Need(minute), Need(second), Need(hasValue);
        const TCell& c = host_.Query(handle).Field(Text(field));
        *year = *month = *day = *hour = *minute = *second = 0;
        *hasValue = 0;
        if (c.Kind == TCell::TKind::Null) return;
        TDateParts p;
        if (c.Kind == TCell::TKind::Text) {
            auto v = CanonicalToDateTime(c.Text);
            if (!v)
                throw EOleException("'" + c.Text + "' is not a valid date and time for field '" + Text(field) + "'",
                                    E_FAIL, "hamhost");
            p = DecodeDateTime(*v);
        } else {
            p = DecodeDateTime(c.Kind == TCell::TKind::Real ? c.Real : static_cast<double>(c.Int));
        }
        *year = static_cast<WORD>(p.Year), *month = static_cast<WORD>(p.Month);
        *day = static_cast<WORD>(p.Day), *hour = static_cast<WORD>(p.Hour);
        *minute = static_cast<WORD>(p.Minute), *second = static_cast<WORD>(p.Second);
        *hasValue = TRUE32;
    });
}

HRESULT TCoreObject::Requery(QueryHandle handle)
{
    host_.Trace("IHostServer.Requery");
    return HostCall([&] { host_.Query(handle).Requery(host_.Connection()); });
}

HRESULT TCoreObject::CloseQuery(QueryHandle handle)
{
    host_.Trace("IHostServer.CloseQuery");
    return HostCall([&] { host_.Query(handle).Close(); });
}

HRESULT TCoreObject::FreeQuery(QueryHandle handle)
{
    host_.Trace("IHostServer.FreeQuery");
    return HostCall([&] { host_.FreeQuery(handle); });
}

HRESULT TCoreObject::ExecSQL(const char16_t* sql, std::int32_t* result)
{
    return HostCall([&] {
        Need(result);
        *result = host_.ExecSQL(Text(sql));
    });
}

HRESULT TCoreObject::GetApplicationHandle(WindowHandle* handle)
{
    host_.Trace("IApplicationWindows.GetApplicationHandle");
    return HostCall([&] {
        Need(handle);
        *handle = host_.Options().ApplicationHandle;
    });
}

HRESULT TCoreObject::BeginModal()
{
    host_.Trace("IApplicationWindows.BeginModal");
    ++host_.ModalDepth;
    return HostCall([&] {
        if (host_.Options().OnModal) host_.Options().OnModal(true);
    });
}

HRESULT TCoreObject::EndModal()
{
    host_.Trace("IApplicationWindows.EndModal");
    --host_.ModalDepth;
    return HostCall([&] {
        if (host_.Options().OnModal) host_.Options().OnModal(false);
    });
}

HRESULT TCoreObject::CreateMenuItem(IMenuItem** item)
{
    host_.Trace("IMenuManager.CreateMenuItem");
    return HostCall([&] {
        Need(item);
        auto* object = new TMenuItemObject(host_);
        host_.AddMenuItem(object, &plugin_);
        object->AddRef();
        *item = object;
    });
}

HRESULT TCoreObject::DeleteMenuItem(IMenuItem** item)
{
    host_.Trace("IMenuManager.DeleteMenuItem");
    return HostCall([&] {
        Need(item);
        if (*item && host_.RemoveMenuItem(static_cast<TMenuItemObject*>(*item))) ++host_.MenuDeletions;
    });
}

HRESULT TCoreObject::GetSmallIcon(IconHandle* icon)
{
    host_.Trace("IApplicationIcons.GetSmallIcon");
    return HostCall([&] {
        Need(icon);
        *icon = ::CreateIcon();
    });
}

HRESULT TCoreObject::GetLargeIcon(IconHandle* icon)
{
    host_.Trace("IApplicationIcons.GetLargeIcon");
    return HostCall([&] {
        Need(icon);
        *icon = ::CreateIcon();
    });
}

HRESULT TCoreObject::DialogEnded(std::int32_t refusedActions, std::int32_t errorsShown)
{
    host_.Trace("IConsoleSession.DialogEnded " + std::to_string(refusedActions) + " " + std::to_string(errorsShown));
    return HostCall([&] { host_.ConsoleSessionEnded(refusedActions, errorsShown); });
}
