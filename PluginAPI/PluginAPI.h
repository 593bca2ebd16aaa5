// The contract between the host and its plug-ins: interfaces found by method
// position, identified by GUID. Published interfaces are frozen: methods are
// only ever appended, new behaviour gets a new interface.
//
// Ownership: a text in-argument (const char16_t*, an OLE Automation string or
// null for empty) belongs to the caller. A text out-result (BSTR*) points to a
// null variable; the callee stores a new string that the caller frees. An
// interface out-result carries one added reference that the receiver releases.
// Every method returns a result code (0 success, negative failure plus the
// thread's error information).
#pragma once

#include "Platform/OleAuto/OleAuto.h"

#include <cstdint>

using QueryHandle = std::uint32_t;

inline constexpr std::int32_t RequiredCoreVersion = 104019;

// --- host side ------------------------------------------------------------

inline constexpr GUID IID_ICore{0x2E4C1D23, 0x873E, 0x494D, {0xB6, 0x28, 0x65, 0xBC, 0xC0, 0xA5, 0x47, 0xA7}};
struct ICore : IInterface {
    virtual HRESULT PLUGIN_CALL GetVersion(/*out*/ std::int32_t* version) = 0;

protected:
    ~ICore() = default;
};

inline constexpr GUID IID_IHostKernel{0x4188E8AA, 0xAC3A, 0x4398, {0xBE, 0xCF, 0x2B, 0x64, 0x44, 0x74, 0xBE, 0xD4}};
struct IHostKernel : IInterface {
    virtual HRESULT PLUGIN_CALL WriteLog(/*in*/ const char16_t* text) = 0;
    virtual HRESULT PLUGIN_CALL ShowMessage(/*in*/ const char16_t* text, /*in*/ const char16_t* caption) = 0;
    // Kind 0 warning, 1 error; Buttons 4 = OK alone.
    virtual HRESULT PLUGIN_CALL MessageBox(/*in*/ const char16_t* text, /*in*/ const char16_t* caption,
                                           std::int32_t kind, std::int32_t buttons,
                                           /*out*/ std::int32_t* result) = 0;
    virtual HRESULT PLUGIN_CALL Reserved4() = 0;
    virtual HRESULT PLUGIN_CALL Reserved5() = 0;
    virtual HRESULT PLUGIN_CALL Reserved6() = 0;
    virtual HRESULT PLUGIN_CALL ExecuteCommand(/*in*/ const char16_t* command, /*in*/ const char16_t* parameter) = 0;
    virtual HRESULT PLUGIN_CALL GetParameter(/*in*/ const char16_t* name, /*out*/ BSTR* value) = 0;

protected:
    ~IHostKernel() = default;
};

// SQL texts are in the Jet dialect and passed through unchanged.
inline constexpr GUID IID_IHostServer{0x3ECC8EDB, 0x00C3, 0x42E6, {0x9F, 0x83, 0xCC, 0x06, 0x6A, 0x5B, 0x19, 0x4C}};
struct IHostServer : IInterface {
    virtual HRESULT PLUGIN_CALL TableExists(/*in*/ const char16_t* table, /*out*/ BOOL32* exists) = 0;
    virtual HRESULT PLUGIN_CALL Reserved2() = 0;
    virtual HRESULT PLUGIN_CALL FieldExists(/*in*/ const char16_t* table, /*in*/ const char16_t* field,
                                            /*out*/ BOOL32* exists) = 0;
    virtual HRESULT PLUGIN_CALL CreateQuery(/*out*/ QueryHandle* handle) = 0;
    // Afterwards the handle stands on the first row.
    virtual HRESULT PLUGIN_CALL OpenQuery(QueryHandle handle, /*in*/ const char16_t* sql) = 0;
    virtual HRESULT PLUGIN_CALL GetRecordCount(QueryHandle handle, /*out*/ std::int32_t* count) = 0;
    virtual HRESULT PLUGIN_CALL First(QueryHandle handle) = 0;
    virtual HRESULT PLUGIN_CALL Reserved8() = 0;
    virtual HRESULT PLUGIN_CALL Next(QueryHandle handle) = 0;
    virtual HRESULT PLUGIN_CALL Reserved10() = 0;
    virtual HRESULT PLUGIN_CALL Reserved11() = 0;
    virtual HRESULT PLUGIN_CALL Eof(QueryHandle handle, /*out*/ BOOL32* eof) = 0;
    virtual HRESULT PLUGIN_CALL Locate(QueryHandle handle, /*in*/ const char16_t* field,
                                       /*in*/ const char16_t* value, /*out*/ BOOL32* found) = 0;
    virtual HRESULT PLUGIN_CALL GetString(QueryHandle handle, /*in*/ const char16_t* field,
                                          /*out*/ BSTR* value, /*out*/ BOOL32* hasValue) = 0;
    virtual HRESULT PLUGIN_CALL GetInteger(QueryHandle handle, /*in*/ const char16_t* field,
                                           /*out*/ std::int32_t* value, /*out*/ BOOL32* hasValue) = 0;
    virtual HRESULT PLUGIN_CALL Reserved16() = 0;
    virtual HRESULT PLUGIN_CALL GetBoolean(QueryHandle handle, /*in*/ const char16_t* field,
                                           /*out*/ BOOL32* value, /*out*/ BOOL32* hasValue) = 0;
    virtual HRESULT PLUGIN_CALL GetDateTime(QueryHandle handle, /*in*/ const char16_t* field,
                                            /*out*/ WORD* year, /*out*/ WORD* month, /*out*/ WORD* day,
                                            /*out*/ WORD* hour, /*out*/ WORD* minute, /*out*/ WORD* second,
                                            /*out*/ BOOL32* hasValue) = 0;
    virtual HRESULT PLUGIN_CALL Requery(QueryHandle handle) = 0;
    virtual HRESULT PLUGIN_CALL CloseQuery(QueryHandle handle) = 0;
    // Also accepts a handle whose result is still open.
    virtual HRESULT PLUGIN_CALL FreeQuery(QueryHandle handle) = 0;
    // A statement the database refuses gives Result 0 with a success code.
    virtual HRESULT PLUGIN_CALL ExecSQL(/*in*/ const char16_t* sql, /*out*/ std::int32_t* result) = 0;

protected:
    ~IHostServer() = default;
};

inline constexpr GUID IID_IApplicationWindows{
    0x2EE5EF53, 0x6EA9, 0x4537, {0xA7, 0xC3, 0x23, 0x3E, 0xD9, 0xD3, 0x91, 0x08}};
struct IApplicationWindows : IInterface {
    virtual HRESULT PLUGIN_CALL GetApplicationHandle(/*out*/ WindowHandle* handle) = 0;
    virtual HRESULT PLUGIN_CALL Reserved2() = 0;
    virtual HRESULT PLUGIN_CALL Reserved3() = 0;
    virtual HRESULT PLUGIN_CALL Reserved4() = 0;
    virtual HRESULT PLUGIN_CALL Reserved5() = 0;
    virtual HRESULT PLUGIN_CALL BeginModal() = 0;
    // Every BeginModal is followed by exactly one EndModal.
    virtual HRESULT PLUGIN_CALL EndModal() = 0;
    virtual HRESULT PLUGIN_CALL Reserved8() = 0;
    virtual HRESULT PLUGIN_CALL Reserved9() = 0;

protected:
    ~IApplicationWindows() = default;
};

struct IMenuItem;
inline constexpr GUID IID_IMenuManager{0x32FBAF60, 0xBCD8, 0x444E, {0xBD, 0x14, 0xE8, 0x67, 0x26, 0x04, 0x1C, 0xD1}};
struct IMenuManager : IInterface {
    virtual HRESULT PLUGIN_CALL CreateMenuItem(/*out*/ IMenuItem** item) = 0;
    // The host may clear *item; the plug-in releases whatever is left.
    virtual HRESULT PLUGIN_CALL DeleteMenuItem(/*in,out*/ IMenuItem** item) = 0;

protected:
    ~IMenuManager() = default;
};

struct INotifyEvent;
inline constexpr GUID IID_IMenuItem{0x37138407, 0x0C6F, 0x448B, {0xB1, 0x84, 0x34, 0xF1, 0xCD, 0x63, 0x8B, 0x85}};
struct IMenuItem : IInterface {
    virtual HRESULT PLUGIN_CALL Reserved1() = 0;
    virtual HRESULT PLUGIN_CALL Reserved2() = 0;
    virtual HRESULT PLUGIN_CALL GetEnabled(/*out*/ BOOL32* enabled) = 0;
    virtual HRESULT PLUGIN_CALL Reserved4() = 0;
    virtual HRESULT PLUGIN_CALL Reserved5() = 0;
    virtual HRESULT PLUGIN_CALL SetCaption(/*in*/ const char16_t* caption) = 0;
    virtual HRESULT PLUGIN_CALL SetTag(std::int32_t tag) = 0;
    virtual HRESULT PLUGIN_CALL SetEnabled(BOOL32 enabled) = 0;
    virtual HRESULT PLUGIN_CALL SetHint(/*in*/ const char16_t* hint) = 0;
    virtual HRESULT PLUGIN_CALL SetKind(std::int32_t kind) = 0;
    virtual HRESULT PLUGIN_CALL SetOnClick(/*in*/ INotifyEvent* handler) = 0;

protected:
    ~IMenuItem() = default;
};

// Optional. Icons received become the window's, which destroys them
// (DestroyIcon of the platform layer).
inline constexpr GUID IID_IApplicationIcons{
    0x2EF25A6A, 0xF584, 0x469C, {0xB9, 0xF1, 0xAA, 0x35, 0xEA, 0x04, 0xCC, 0x40}};
struct IApplicationIcons : IInterface {
    virtual HRESULT PLUGIN_CALL GetSmallIcon(/*out*/ IconHandle* icon) = 0;
    virtual HRESULT PLUGIN_CALL GetLargeIcon(/*out*/ IconHandle* icon) = 0;

protected:
    ~IApplicationIcons() = default;
};

// Optional. A host whose dialogs are played on its console learns how the
// session went once a dialog has closed: the action lines the console refused
// and the error messages it showed (a host tells its caller from these).
inline constexpr GUID IID_IConsoleSession{0x11C6E38B, 0xF5C1, 0x4BDF, {0x93, 0xFA, 0xA4, 0x33, 0xB2, 0xE5, 0x93, 0xA6}};
struct IConsoleSession : IInterface {
    virtual HRESULT PLUGIN_CALL DialogEnded(std::int32_t refusedActions, std::int32_t errorsShown) = 0;

protected:
    ~IConsoleSession() = default;
};

// --- plug-in side -----------------------------------------------------------

inline constexpr GUID IID_INotifyEvent{0xA6435676, 0xACE3, 0x4A28, {0x83, 0x58, 0x72, 0x0C, 0xEA, 0x49, 0x5F, 0xFA}};
struct INotifyEvent : IInterface {
    virtual HRESULT PLUGIN_CALL Notify(/*in*/ IInterface* sender) = 0;

protected:
    ~INotifyEvent() = default;
};

inline constexpr GUID IID_IDestroyNotify{0xE55338C1, 0x631A, 0x424D, {0xAC, 0xF7, 0x86, 0x3C, 0x9D, 0x4C, 0xAD, 0xA1}};
struct IDestroyNotify : IInterface {
    virtual HRESULT PLUGIN_CALL Destroying() = 0;

protected:
    ~IDestroyNotify() = default;
};

inline constexpr GUID IID_IPlugin{0x16AB27D6, 0xDD64, 0x4CCE, {0xB3, 0xE5, 0xEC, 0xBC, 0xE7, 0xC7, 0x40, 0x1A}};
struct IPlugin : IInterface {
    virtual HRESULT PLUGIN_CALL GetID(/*out*/ GUID* id) = 0;
    virtual HRESULT PLUGIN_CALL GetName(/*out*/ BSTR* name) = 0;
    virtual HRESULT PLUGIN_CALL GetVersion(/*out*/ BSTR* version) = 0;
    virtual HRESULT PLUGIN_CALL GetKind(/*out*/ std::int32_t* kind) = 0;
    virtual HRESULT PLUGIN_CALL GetCopyright(/*out*/ BSTR* text) = 0;
    virtual HRESULT PLUGIN_CALL GetHomePage(/*out*/ BSTR* page) = 0;
    virtual HRESULT PLUGIN_CALL GetEmail(/*out*/ BSTR* mail) = 0;

protected:
    ~IPlugin() = default;
};

// --- the two exports ----------------------------------------------------------

#define PLUGIN_INIT_EXPORT "983BEDA12B2347028D99FF042C551640"
#define PLUGIN_DONE_EXPORT "983BEDA12B2347028D99FF042C551640_done"
using TPluginInitProc = HRESULT PLUGIN_CALL (*)(/*in*/ ICore* core, /*out*/ IPlugin** plugin);
using TPluginDoneProc = HRESULT PLUGIN_CALL (*)();

// Facility of a result code: bits 16 to 28.
constexpr std::uint32_t ResultFacility(HRESULT code)
{
    return (static_cast<std::uint32_t>(code) >> 16) & 0x1FFF;
}
