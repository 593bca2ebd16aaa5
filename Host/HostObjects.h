// The host's interface objects: a core per plug-in (answering every host
// interface) and the menu items.
#pragma once

#include "Host/Host.h"

#include <atomic>

class TMenuItemObject final : public IMenuItem {
public:
    explicit TMenuItemObject(THost& host) : host_(host) {}

    HRESULT PLUGIN_CALL QueryInterface(const GUID& iid, void** obj) override;
    std::int32_t PLUGIN_CALL AddRef() override { return ++refs_; }
    std::int32_t PLUGIN_CALL Release() override;

    HRESULT PLUGIN_CALL Reserved1() override { return S_OK; }
    HRESULT PLUGIN_CALL Reserved2() override { return S_OK; }
    HRESULT PLUGIN_CALL GetEnabled(BOOL32* enabled) override;
    HRESULT PLUGIN_CALL Reserved4() override { return S_OK; }
    HRESULT PLUGIN_CALL Reserved5() override { return S_OK; }
    HRESULT PLUGIN_CALL SetCaption(const char16_t* caption) override;
    HRESULT PLUGIN_CALL SetTag(std::int32_t tag) override;
    HRESULT PLUGIN_CALL SetEnabled(BOOL32 enabled) override;
    HRESULT PLUGIN_CALL SetHint(const char16_t* hint) override;
    HRESULT PLUGIN_CALL SetKind(std::int32_t kind) override;
    HRESULT PLUGIN_CALL SetOnClick(INotifyEvent* handler) override;

    std::string Caption, Hint;
    std::int32_t Kind = 0, Tag = 0;
    bool Enabled = false;
    ComPtr<INotifyEvent> OnClick;
    std::int32_t Refs() const { return refs_.load(); }

private:
    THost& host_;
    std::atomic<std::int32_t> refs_{0};
};

class TCoreObject final : public ICore,
                          public IHostKernel,
                          public IHostServer,
                          public IApplicationWindows,
                          public IMenuManager,
                          public IApplicationIcons,
                          public IConsoleSession {
public:
    TCoreObject(THost& host, TLoadedPlugin& plugin) : host_(host), plugin_(plugin) {}

    HRESULT PLUGIN_CALL QueryInterface(const GUID& iid, void** obj) override;
    std::int32_t PLUGIN_CALL AddRef() override { return ++refs_; }
    std::int32_t PLUGIN_CALL Release() override { return --refs_; } // owned by the host
    std::int32_t Refs() const { return refs_.load(); }

    // ICore
    HRESULT PLUGIN_CALL GetVersion(std::int32_t* version) override;
    // IHostKernel
    HRESULT PLUGIN_CALL WriteLog(const char16_t* text) override;
    HRESULT PLUGIN_CALL ShowMessage(const char16_t* text, const char16_t* caption) override;
    HRESULT PLUGIN_CALL MessageBox(const char16_t* text, const char16_t* caption, std::int32_t kind,
                                   std::int32_t buttons, std::int32_t* result) override;
    HRESULT PLUGIN_CALL Reserved4() override { return S_OK; }
    HRESULT PLUGIN_CALL Reserved5() override { return S_OK; }
    HRESULT PLUGIN_CALL Reserved6() override { return S_OK; }
    HRESULT PLUGIN_CALL ExecuteCommand(const char16_t* command, const char16_t* parameter) override;
    HRESULT PLUGIN_CALL GetParameter(const char16_t* name, BSTR* value) override;
    // IHostServer
    HRESULT PLUGIN_CALL TableExists(const char16_t* table, BOOL32* exists) override;
    HRESULT PLUGIN_CALL Reserved2() override { return S_OK; }
    HRESULT PLUGIN_CALL FieldExists(const char16_t* table, const char16_t* field, BOOL32* exists) override;
    HRESULT PLUGIN_CALL CreateQuery(QueryHandle* handle) override;
    HRESULT PLUGIN_CALL OpenQuery(QueryHandle handle, const char16_t* sql) override;
    HRESULT PLUGIN_CALL GetRecordCount(QueryHandle handle, std::int32_t* count) override;
    HRESULT PLUGIN_CALL First(QueryHandle handle) override;
    HRESULT PLUGIN_CALL Reserved8() override { return S_OK; }
    HRESULT PLUGIN_CALL Next(QueryHandle handle) override;
    HRESULT PLUGIN_CALL Reserved10() override { return S_OK; }
    HRESULT PLUGIN_CALL Reserved11() override { return S_OK; }
    HRESULT PLUGIN_CALL Eof(QueryHandle handle, BOOL32* eof) override;
    HRESULT PLUGIN_CALL Locate(QueryHandle handle, const char16_t* field, const char16_t* value,
                               BOOL32* found) override;
    HRESULT PLUGIN_CALL GetString(QueryHandle handle, const char16_t* field, BSTR* value, BOOL32* hasValue) override;
    HRESULT PLUGIN_CALL GetInteger(QueryHandle handle, const char16_t* field, std::int32_t* value,
                                   BOOL32* hasValue) override;
    HRESULT PLUGIN_CALL Reserved16() override { return S_OK; }
    HRESULT PLUGIN_CALL GetBoolean(QueryHandle handle, const char16_t* field, BOOL32* value, BOOL32* hasValue) override;
    HRESULT PLUGIN_CALL GetDateTime(QueryHandle handle, const char16_t* field, WORD* year, WORD* month, WORD* day,
                                    WORD* hour, WORD* minute, WORD* second, BOOL32* hasValue) override;
    HRESULT PLUGIN_CALL Requery(QueryHandle handle) override;
    HRESULT PLUGIN_CALL CloseQuery(QueryHandle handle) override;
    HRESULT PLUGIN_CALL FreeQuery(QueryHandle handle) override;
    HRESULT PLUGIN_CALL ExecSQL(const char16_t* sql, std::int32_t* result) override;
    // IApplicationWindows
    HRESULT PLUGIN_CALL GetApplicationHandle(WindowHandle* handle) override;
    HRESULT PLUGIN_CALL Reserved3() override { return S_OK; }
    HRESULT PLUGIN_CALL Reserved9() override { return S_OK; }
    HRESULT PLUGIN_CALL BeginModal() override;
    HRESULT PLUGIN_CALL EndModal() override;
    // IMenuManager
    HRESULT PLUGIN_CALL CreateMenuItem(IMenuItem** item) override;
    HRESULT PLUGIN_CALL DeleteMenuItem(IMenuItem** item) override;
    // IApplicationIcons
    HRESULT PLUGIN_CALL GetSmallIcon(IconHandle* icon) override;
    HRESULT PLUGIN_CALL GetLargeIcon(IconHandle* icon) override;
    // IConsoleSession
    HRESULT PLUGIN_CALL DialogEnded(std::int32_t refusedActions, std::int32_t errorsShown) override;

private:
    THost& host_;
    TLoadedPlugin& plugin_;
    std::atomic<std::int32_t> refs_{0};
};

// Runs a host method body; an exception becomes a failure code plus the
// thread's error information (source "hamhost").
template <class Body> HRESULT HostCall(Body&& body) noexcept;
HRESULT HostFailure(const std::exception_ptr& e) noexcept;
template <class Body> HRESULT HostCall(Body&& body) noexcept
{
    try {
        body();
        return S_OK;
    } catch (...) {
        return HostFailure(std::current_exception());
    }
}
