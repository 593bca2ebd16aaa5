// Stand-in for the platform's OLE Automation: the COM base interface, GUIDs,
// length-prefixed UTF-16 strings (BSTR) and the per-thread error information.
// Built as one shared library so that host and plug-ins share the allocator
// and each thread's current error record.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

#if defined(_WIN32) && !defined(_WIN64)
#define PLUGIN_CALL __stdcall
#else
#define PLUGIN_CALL
#endif

#define OLEAUT_API __attribute__((visibility("default")))

using HRESULT = std::int32_t;
using BSTR = char16_t*;
using WORD = std::uint16_t;
using BOOL32 = std::int32_t; // zero false, anything else true

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr BOOL32 TRUE32 = -1; // all bits set

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
    friend bool operator==(const GUID&, const GUID&) = default;
};
inline constexpr GUID GUID_NULL{};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
OLEAUT_API std::string GuidToString(const GUID& guid);

// The COM base interface.
struct IInterface {
    virtual HRESULT PLUGIN_CALL QueryInterface(const GUID& iid, void** obj) = 0;
    virtual std::int32_t PLUGIN_CALL AddRef() = 0;
    virtual std::int32_t PLUGIN_CALL Release() = 0;

protected:
    ~IInterface() = default;
};
inline constexpr GUID IID_IInterface{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Error information record, read side.
struct IErrorInfo : IInterface {
    virtual HRESULT PLUGIN_CALL GetGUID(GUID* guid) = 0;
    virtual HRESULT PLUGIN_CALL GetSource(BSTR* source) = 0;
    virtual HRESULT PLUGIN_CALL GetDescription(BSTR* description) = 0;
    virtual HRESULT PLUGIN_CALL GetHelpFile(BSTR* helpFile) = 0;
    virtual HRESULT PLUGIN_CALL GetHelpContext(std::uint32_t* helpContext) = 0;

protected:
    ~IErrorInfo() = default;
};
inline constexpr GUID IID_IErrorInfo{0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

// Error information record, write side.
struct ICreateErrorInfo : IInterface {
    virtual HRESULT PLUGIN_CALL SetGUID(const GUID& guid) = 0;
    virtual HRESULT PLUGIN_CALL SetSource(const char16_t* source) = 0;
    virtual HRESULT PLUGIN_CALL SetDescription(const char16_t* description) = 0;
    virtual HRESULT PLUGIN_CALL SetHelpFile(const char16_t* helpFile) = 0;
    virtual HRESULT PLUGIN_CALL SetHelpContext(std::uint32_t helpContext) = 0;

protected:
    ~ICreateErrorInfo() = default;
};
inline constexpr GUID IID_ICreateErrorInfo{
    0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

using WindowHandle = std::uint32_t;
using IconHandle = std::uint32_t;

extern "C" {
// System icons: handles shared by host and plug-ins. CreateIcon gives a new
// live handle; DestroyIcon answers false for a handle that is not live.
OLEAUT_API IconHandle CreateIcon();
OLEAUT_API bool DestroyIcon(IconHandle icon);
OLEAUT_API std::uint32_t LiveIconCount();

// A new string of len UTF-16 units copied from src (or zero-filled when src
// is null), NUL-terminated; null when out of memory.
OLEAUT_API BSTR SysAllocStringLen(const char16_t* src, std::uint32_t len);
OLEAUT_API void SysFreeString(BSTR s);
// Length in UTF-16 units; 0 for a null string.
OLEAUT_API std::uint32_t SysStringLen(BSTR s);

// A new, empty error record with one reference.
OLEAUT_API HRESULT CreateErrorInfo(ICreateErrorInfo** out);
// Makes info (may be null) the calling thread's current record; the thread
// takes its own reference.
OLEAUT_API HRESULT SetErrorInfo(std::uint32_t reserved, IErrorInfo* info);
// Hands the thread's current record to the caller and clears it; S_FALSE and
// a null record when there is none.
OLEAUT_API HRESULT GetErrorInfo(std::uint32_t reserved, IErrorInfo** out);
}

OLEAUT_API std::u16string Utf8ToUtf16(std::string_view text);
OLEAUT_API std::string Utf16ToUtf8(std::u16string_view text);

// Owning wrapper of a BSTR. Null and empty are the same text.
class OLEAUT_API WideString {
public:
    WideString() = default;
    WideString(std::string_view utf8);
    WideString(const char* utf8) : WideString(std::string_view(utf8 ? utf8 : "")) {}
    WideString(const std::string& utf8) : WideString(std::string_view(utf8)) {}
    static WideString FromUtf16(std::u16string_view text);
    // Copies a borrowed BSTR (an in-argument).
    static WideString Copy(const char16_t* s);
    // Adopts a BSTR (an out-result the caller must free).
    static WideString Adopt(BSTR s);
    WideString(const WideString& other);
    WideString& operator=(const WideString& other);
    WideString(WideString&& other) noexcept : s_(other.s_) { other.s_ = nullptr; }
    WideString& operator=(WideString&& other) noexcept;
    ~WideString() { SysFreeString(s_); }

    BSTR c_bstr() const noexcept { return s_; }
    // Frees the current text and gives the address for an out-result.
    BSTR* Out();
    // Gives up ownership (an out-result handed to a caller).
    BSTR Detach() noexcept;
    std::uint32_t Length() const noexcept { return SysStringLen(s_); }
    bool Empty() const noexcept { return Length() == 0; }
    std::string Utf8() const;
    std::u16string_view View() const noexcept { return {s_ ? s_ : u"", Length()}; }

private:
    BSTR s_ = nullptr;
};

// Text of a borrowed BSTR as UTF-8 (null is empty).
OLEAUT_API std::string BstrToUtf8(const char16_t* s);
// Stores a new copy of utf8 in *out, freeing what was there.
OLEAUT_API void StoreBstr(BSTR* out, std::string_view utf8);
