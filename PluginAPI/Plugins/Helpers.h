// Checked reference-counted objects and the mapping between exceptions inside
// a plug-in and result codes plus error information at the host boundary.
#pragma once

#include "Platform/SysUtils/SysUtils.h"
#include "PluginAPI/PluginAPI.h"

#include <atomic>
#include <cstdarg>
#include <exception>
#include <string>
#include <string_view>

// GUID written into the error information of every facility-4 failure.
inline constexpr GUID PluginErrorGUID{0x43B2F1E1, 0xE897, 0x4584, {0xA9, 0x2A, 0x06, 0xAE, 0x75, 0xDF, 0x83, 0x4D}};

// 0x80040000 OR the CRC-16 of the class name's UTF-8 bytes.
HRESULT ErrorCodeOfClass(std::string_view className);

// printf-style formatting for messages.
std::string FormatMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

struct CreateFmt {};

// The framework's own exceptions: each carries the name-derived code of the
// class actually created and help context 0.
#define HAM_DECLARE_BASE_EXCEPTION(Name, Parent)                                                                       \
    class Name : public Parent {                                                                                       \
    public:                                                                                                            \
        explicit Name(std::string message) : Parent(std::move(message)) { Init(); }                                    \
        template <class... A> Name(CreateFmt, const char* format, A... args) : Parent(FormatMessage(format, args...))  \
        {                                                                                                              \
            Init();                                                                                                    \
        }                                                                                                              \
        const char* ClassName() const noexcept override { return #Name; }                                              \
                                                                                                                       \
    private:                                                                                                           \
        void Init() { SetErrorCode(ErrorCodeOfClass(#Name)); }                                                         \
    };

class EBaseException : public EOleSysError {
public:
    explicit EBaseException(std::string message)
        : EOleSysError(std::move(message), ErrorCodeOfClass("EBaseException"), 0)
    {
    }
    template <class... A>
    EBaseException(CreateFmt, const char* format, A... args) : EBaseException(FormatMessage(format, args...))
    {
    }
    const char* ClassName() const noexcept override { return "EBaseException"; }
};
HAM_DECLARE_BASE_EXCEPTION(ECheckedInterfacedObjectError, EBaseException)
HAM_DECLARE_BASE_EXCEPTION(ECheckedInterfacedObjectDeleteError, ECheckedInterfacedObjectError)
HAM_DECLARE_BASE_EXCEPTION(ECheckedInterfacedObjectDoubleFreeError, ECheckedInterfacedObjectError)
HAM_DECLARE_BASE_EXCEPTION(ECheckedInterfacedObjectUseDeletedError, ECheckedInterfacedObjectError)
HAM_DECLARE_BASE_EXCEPTION(EInvalidCoreVersion, EBaseException)

// The result code that stands for an exception.
HRESULT ExceptionToResult(const std::exception_ptr& e);
// Fills the thread's error information for an exception escaping an interface
// method of an object of class objectClass and gives the code to return.
// The code is always a failure: an escaping exception never reads as success.
HRESULT ReportSafeCallException(std::string_view objectClass, const std::exception_ptr& e);
// The exception (not raised) that stands for a host failure code, filled from
// the thread's error information.
std::exception_ptr ResultToException(HRESULT code);
// Raises ResultToException for a negative code; returns any other unchanged.
HRESULT CheckHostResult(HRESULT code);

// Runs body and turns an escaping exception into the method's result code.
template <class Body> HRESULT SafeCall(std::string_view objectClass, Body&& body) noexcept
{
    try {
        body();
        return S_OK;
    } catch (...) {
        return ReportSafeCallException(objectClass, std::current_exception());
    }
}

// Reference-counted base of every plug-in object the host holds by interface;
// misuse of the count becomes an exception. Create objects with
// CheckedCreate<T>(...): the count is 1 while the constructor runs and 0 after.
class TCheckedInterfacedObject {
public:
    TCheckedInterfacedObject(const TCheckedInterfacedObject&) = delete;
    TCheckedInterfacedObject& operator=(const TCheckedInterfacedObject&) = delete;

    virtual const char* ClassName() const noexcept = 0;
    const std::string& DebugName() const noexcept { return debugName_; }
    std::int32_t RefCount() const noexcept { return refCount_.load(); }

    std::int32_t CheckedAddRef();
    std::int32_t CheckedRelease();
    // Destroys the object after the pre-destruction check (which raises and
    // leaves the object intact when references are held).
    void Free();

    // The outbound mapping with this object's class as the source.
    HRESULT SafeCallException(const std::exception_ptr& e) const { return ReportSafeCallException(ClassName(), e); }

    template <class T, class... A> friend T* CheckedCreate(A&&... args);

protected:
    TCheckedInterfacedObject() = default;
    virtual ~TCheckedInterfacedObject() = default;
    // Builds the debug name; called by CheckedCreate before the object is used.
    void NameObject();

private:
    void BeforeDestruction();

    std::atomic<std::int32_t> refCount_{1};
    std::string debugName_;
};

template <class T, class... A> T* CheckedCreate(A&&... args)
{
    T* object = new T(std::forward<A>(args)...);
    object->NameObject();
    object->refCount_.fetch_sub(1);
    return object;
}

// The three IInterface methods of a checked object, for classes that
// implement one or more interfaces. Implement QueryInterfaceImpl.
#define HAM_CHECKED_IINTERFACE                                                                                         \
    HRESULT PLUGIN_CALL QueryInterface(const GUID& iid, void** obj) override                                           \
    {                                                                                                                  \
        if (!obj) return E_POINTER;                                                                                    \
        *obj = QueryInterfaceImpl(iid);                                                                                \
        if (!*obj) return E_NOINTERFACE;                                                                               \
        CheckedAddRef();                                                                                               \
        return S_OK;                                                                                                   \
    }                                                                                                                  \
    std::int32_t PLUGIN_CALL AddRef() override                                                                         \
    {                                                                                                                  \
        return CheckedAddRef();                                                                                        \
    }                                                                                                                  \
    std::int32_t PLUGIN_CALL Release() override                                                                        \
    {                                                                                                                  \
        return CheckedRelease();                                                                                       \
    }
