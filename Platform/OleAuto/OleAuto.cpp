#include "Platform/OleAuto/OleAuto.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

std::string GuidToString(const GUID& g)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

namespace {
std::mutex IconLock;
std::unordered_set<IconHandle> LiveIcons;
IconHandle NextIcon = 0x100;
} // namespace

extern "C" {

IconHandle CreateIcon()
{
    std::lock_guard lock(IconLock);
    IconHandle h = NextIcon++;
    LiveIcons.insert(h);
    return h;
}

bool DestroyIcon(IconHandle icon)
{
    std::lock_guard lock(IconLock);
    return LiveIcons.erase(icon) == 1;
}

std::uint32_t LiveIconCount()
{
    std::lock_guard lock(IconLock);
    return static_cast<std::uint32_t>(LiveIcons.size());
}

BSTR SysAllocStringLen(const char16_t* src, std::uint32_t len)
{
    if (len > (UINT32_MAX - 6) / 2) return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(4 + (std::size_t(len) + 1) * 2));
    if (!block) return nullptr;
    std::uint32_t bytes = len * 2;
    std::memcpy(block, &bytes, 4);
    auto* s = reinterpret_cast<char16_t*>(block + 4);
    if (src)
        std::memcpy(s, src, bytes);
    else
        std::memset(s, 0, bytes);
    s[len] = 0;
    return s;
}

void SysFreeString(BSTR s)
{
    if (s) std::free(reinterpret_cast<unsigned char*>(s) - 4);
}

std::uint32_t SysStringLen(BSTR s)
{
    if (!s) return 0;
    std::uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<unsigned char*>(s) - 4, 4);
    return bytes / 2;
}

} // extern "C"

namespace {

BSTR AllocCopy(const char16_t* s)
{
    if (!s) return nullptr;
    std::size_t n = 0;
    while (s[n])
        ++n;
    return SysAllocStringLen(s, static_cast<std::uint32_t>(n));
}

// One error record; implements both the read and the write side.
class TErrorInfo final : public IErrorInfo, public ICreateErrorInfo {
public:
    HRESULT PLUGIN_CALL QueryInterface(const GUID& iid, void** obj) override
    {
        if (!obj) return E_POINTER;
        if (iid == IID_IInterface || iid == IID_IErrorInfo)
            *obj = static_cast<IErrorInfo*>(this);
        else if (iid == IID_ICreateErrorInfo)
            *obj = static_cast<ICreateErrorInfo*>(this);
        else {
            *obj = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    std::int32_t PLUGIN_CALL AddRef() override { return ++refs_; }
    std::int32_t PLUGIN_CALL Release() override
    {
        std::int32_t n = --refs_;
        if (n == 0) delete this;
        return n;
    }

    HRESULT PLUGIN_CALL GetGUID(GUID* guid) override
    {
        if (!guid) return E_POINTER;
        *guid = guid_;
        return S_OK;
    }
    HRESULT PLUGIN_CALL GetSource(BSTR* out) override { return Get(out, source_); }
    HRESULT PLUGIN_CALL GetDescription(BSTR* out) override { return Get(out, description_); }
    HRESULT PLUGIN_CALL GetHelpFile(BSTR* out) override { return Get(out, helpFile_); }
    HRESULT PLUGIN_CALL GetHelpContext(std::uint32_t* out) override
    {
        if (!out) return E_POINTER;
        *out = helpContext_;
        return S_OK;
    }

    HRESULT PLUGIN_CALL SetGUID(const GUID& guid) override
    {
        guid_ = guid;
        return S_OK;
    }
    HRESULT PLUGIN_CALL SetSource(const char16_t* s) override { return Set(source_, s); }
    HRESULT PLUGIN_CALL SetDescription(const char16_t* s) override { return Set(description_, s); }
    HRESULT PLUGIN_CALL SetHelpFile(const char16_t* s) override { return Set(helpFile_, s); }
    HRESULT PLUGIN_CALL SetHelpContext(std::uint32_t c) override
    {
        helpContext_ = c;
        return S_OK;
    }

private:
    ~TErrorInfo() = default;
    static HRESULT Get(BSTR* out, const std::u16string& v)
    {
        if (!out) return E_POINTER;
        *out = SysAllocStringLen(v.data(), static_cast<std::uint32_t>(v.size()));
        return *out || v.empty() ? S_OK : E_OUTOFMEMORY;
    }
    static HRESULT Set(std::u16string& field, const char16_t* s)
    {
        field = s ? std::u16string(s) : std::u16string();
        return S_OK;
    }

    std::atomic<std::int32_t> refs_{1};
    GUID guid_{};
    std::u16string source_, description_, helpFile_;
    std::uint32_t helpContext_ = 0;
};

// The thread's current record; released when the thread ends.
struct TThreadErrorSlot {
    IErrorInfo* info = nullptr;
    ~TThreadErrorSlot()
    {
        if (info) info->Release();
    }
};
thread_local TThreadErrorSlot CurrentError;

} // namespace

extern "C" {

HRESULT CreateErrorInfo(ICreateErrorInfo** out)
{
    if (!out) return E_POINTER;
    auto* info = new (std::nothrow) TErrorInfo;
    *out = info ? static_cast<ICreateErrorInfo*>(info) : nullptr;
    return info ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetErrorInfo(std::uint32_t, IErrorInfo* info)
{
    if (info) info->AddRef();
    if (CurrentError.info) CurrentError.info->Release();
    CurrentError.info = info;
    return S_OK;
}

HRESULT GetErrorInfo(std::uint32_t, IErrorInfo** out)
{
    if (!out) return E_POINTER;
    *out = CurrentError.info;
    CurrentError.info = nullptr;
    return *out ? S_OK : S_FALSE;
}

} // extern "C"

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t cp = 0xFFFD;
        std::size_t need = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 9;
        if (need == 0) {
            cp = c;
            ++i;
        } else if (need == 9 || i + need >= text.size()) {
            ++i; // stray or truncated byte
        } else {
            char32_t v = c & (0x3F >> need);
            bool ok = true;
            for (std::size_t k = 1; k <= need; ++k) {
                unsigned char cc = static_cast<unsigned char>(text[i + k]);
                if ((cc & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                v = (v << 6) | (cc & 0x3F);
            }
            static constexpr char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
            if (ok && v >= minimum[need] && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF)) {
                cp = v;
                i += need + 1;
            } else {
                ++i;
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

WideString::WideString(std::string_view utf8)
{
    if (utf8.empty()) return;
    auto w = Utf8ToUtf16(utf8);
    s_ = SysAllocStringLen(w.data(), static_cast<std::uint32_t>(w.size()));
    if (!s_) throw std::bad_alloc();
}

WideString WideString::FromUtf16(std::u16string_view text)
{
    WideString w;
    if (!text.empty()) {
        w.s_ = SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
        if (!w.s_) throw std::bad_alloc();
    }
    return w;
}

WideString WideString::Copy(const char16_t* s)
{
    WideString w;
    w.s_ = AllocCopy(s);
    return w;
}

WideString WideString::Adopt(BSTR s)
{
    WideString w;
    w.s_ = s;
    return w;
}

WideString::WideString(const WideString& other) : s_(other.s_ ? SysAllocStringLen(other.s_, other.Length()) : nullptr)
{
}

WideString& WideString::operator=(const WideString& other)
{
    if (this != &other) *this = WideString(other);
    return *this;
}

WideString& WideString::operator=(WideString&& other) noexcept
{
    if (this != &other) {
        SysFreeString(s_);
        s_ = other.s_;
        other.s_ = nullptr;
    }
    return *this;
}

BSTR* WideString::Out()
{
    SysFreeString(s_);
    s_ = nullptr;
    return &s_;
}

BSTR WideString::Detach() noexcept
{
    BSTR s = s_;
    s_ = nullptr;
    return s;
}

std::string WideString::Utf8() const
{
    return Utf16ToUtf8(View());
}

std::string BstrToUtf8(const char16_t* s)
{
    if (!s) return {};
    std::size_t n = 0;
    while (s[n])
        ++n;
    return Utf16ToUtf8({s, n});
}

void StoreBstr(BSTR* out, std::string_view utf8)
{
    if (!out) return;
    WideString w(utf8);
    SysFreeString(*out);
    *out = w.Detach();
}
