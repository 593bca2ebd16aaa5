#include "PluginAPI/Plugins/Helpers.h"

#include "PluginAPI/Plugins/CRC16.h"

#include <cstdio>
#include <functional>
#include <unordered_map>
#include <vector>

HRESULT ErrorCodeOfClass(std::string_view className)
{
    return static_cast<HRESULT>(0x80040000u | Crc16Utf8(className));
}

std::string FormatMessage(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(out.data(), out.size() + 1, format, args);
    va_end(args);
    return out;
}

namespace {

HRESULT OSErrorResult(const EOSError& e)
{
    return e.ErrorCode() == 0 ? 0 : static_cast<HRESULT>(0x80070000u | (e.ErrorCode() & 0xFFFF));
}

HRESULT ResultOf(const Exception& e)
{
    if (typeid(e) == typeid(Exception)) return E_UNEXPECTED;
    if (auto* ole = dynamic_cast<const EOleSysError*>(&e)) return ole->ErrorCode();
    if (auto* os = dynamic_cast<const EOSError*>(&e)) return OSErrorResult(*os);
    return ErrorCodeOfClass(e.ClassName());
}

struct TErrorRecord {
    std::string Source, Description, HelpFile;
    int HelpContext = 0;
};

TErrorRecord TakeThreadErrorInfo()
{
    TErrorRecord r;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info) return r;
    WideString s;
    if (info->GetSource(s.Out()) == S_OK) r.Source = s.Utf8();
    if (info->GetDescription(s.Out()) == S_OK) r.Description = s.Utf8();
    if (info->GetHelpFile(s.Out()) == S_OK) r.HelpFile = s.Utf8();
    std::uint32_t ctx = 0;
    if (info->GetHelpContext(&ctx) == S_OK) r.HelpContext = static_cast<int>(ctx);
    info->Release();
    return r;
}

using TExceptionFactory = std::function<std::exception_ptr(const TErrorRecord&, HRESULT)>;

template <class E> TExceptionFactory PlainKind()
{
    return [](const TErrorRecord& r, HRESULT) { return std::make_exception_ptr(E(r.Description)); };
}

template <class E> TExceptionFactory BaseFamilyKind()
{
    return [](const TErrorRecord& r, HRESULT) {
        E e(r.Description);
        e.SetHelpContext(r.HelpContext);
        return std::make_exception_ptr(e);
    };
}

// The kinds a host failure code can stand for, each at its name-derived code.
const std::unordered_map<HRESULT, TExceptionFactory>& KindTable()
{
    static const auto table = [] {
        std::vector<std::pair<const char*, TExceptionFactory>> rows = {
#define HAM_PLAIN_ROW(Name, Parent) {#Name, PlainKind<Name>()},
            HAM_NAMED_EXCEPTIONS(HAM_PLAIN_ROW)
#undef HAM_PLAIN_ROW
                {"ECheckedInterfacedObjectDeleteError", BaseFamilyKind<ECheckedInterfacedObjectDeleteError>()},
            {"ECheckedInterfacedObjectDoubleFreeError", BaseFamilyKind<ECheckedInterfacedObjectDoubleFreeError>()},
            {"ECheckedInterfacedObjectError", BaseFamilyKind<ECheckedInterfacedObjectError>()},
            {"ECheckedInterfacedObjectUseDeletedError", BaseFamilyKind<ECheckedInterfacedObjectUseDeletedError>()},
            {"EInvalidCoreVersion", BaseFamilyKind<EInvalidCoreVersion>()},
        };
        std::unordered_map<HRESULT, TExceptionFactory> map;
        for (auto& [name, factory] : rows)
            map.emplace(ErrorCodeOfClass(name), std::move(factory));
        return map;
    }();
    return table;
}

} // namespace

HRESULT ExceptionToResult(const std::exception_ptr& e)
{
    try {
        std::rethrow_exception(e);
    } catch (const Exception& ex) {
        return ResultOf(ex);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT ReportSafeCallException(std::string_view objectClass, const std::exception_ptr& e)
{
    HRESULT result = E_UNEXPECTED;
    ICreateErrorInfo* create = nullptr;
    if (CreateErrorInfo(&create) != S_OK || !create) return E_UNEXPECTED;

    create->SetSource(WideString("pluginsystem." + std::string(objectClass)).c_bstr());
    try {
        std::rethrow_exception(e);
    } catch (const Exception& ex) {
        create->SetDescription(WideString(ex.Message()).c_bstr());
        create->SetHelpContext(static_cast<std::uint32_t>(ex.HelpContext()));
        if (auto* ole = dynamic_cast<const EOleSysError*>(&ex); ole && ole->ErrorCode() < 0)
            result = ole->ErrorCode();
        else if (auto* os = dynamic_cast<const EOSError*>(&ex))
            result = OSErrorResult(*os);
        else
            result = ResultOf(ex);
    } catch (...) {
    }
    // An exception that left the method is a failure whatever code it carried.
    if (result >= 0) result = E_UNEXPECTED;
    create->SetGUID(ResultFacility(result) == 4 ? PluginErrorGUID : GUID_NULL);

    IErrorInfo* info = nullptr;
    if (create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)) == S_OK) {
        SetErrorInfo(0, info);
        info->Release();
    }
    create->Release();
    return result;
}

std::exception_ptr ResultToException(HRESULT code)
{
    TErrorRecord r = TakeThreadErrorInfo();
    if (ResultFacility(code) == 7)
        return std::make_exception_ptr(EOSError(r.Description, static_cast<std::uint32_t>(code) & 0xFFFF));
    const auto& table = KindTable();
    if (auto it = table.find(code); it != table.end()) return it->second(r, code);
    return std::make_exception_ptr(EOleException(r.Description, code, r.Source, r.HelpFile, r.HelpContext));
}

HRESULT CheckHostResult(HRESULT code)
{
    if (code < 0) std::rethrow_exception(ResultToException(code));
    return code;
}

std::int32_t TCheckedInterfacedObject::CheckedAddRef()
{
    if (refCount_.load() < 0)
        throw ECheckedInterfacedObjectUseDeletedError(CreateFmt{}, "Usage attempt with just deleted object %s",
                                                      debugName_.c_str());
    return ++refCount_;
}

std::int32_t TCheckedInterfacedObject::CheckedRelease()
{
    std::int32_t n = --refCount_;
    if (n == 0) Free();
    return n;
}

void TCheckedInterfacedObject::Free()
{
    BeforeDestruction();
    delete this;
}

void TCheckedInterfacedObject::BeforeDestruction()
{
    std::int32_t count = refCount_.load();
    if (count < 0)
        throw ECheckedInterfacedObjectDoubleFreeError(CreateFmt{}, "Object deletion attempt with just deleted one %s",
                                                      debugName_.c_str());
    if (count != 0)
        throw ECheckedInterfacedObjectDeleteError(CreateFmt{},
                                                  "Object deletion attempt %s with active interface link; counter: %d",
                                                  debugName_.c_str(), count);
    refCount_.store(-1);
}

void TCheckedInterfacedObject::NameObject()
{
    debugName_ = FormatMessage("[$%08llX] %s", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(this)),
                               ClassName());
    if (debugName_.size() > 99) debugName_.resize(99);
}
