// Run-time exception kinds shared by every layer: the four structural kinds
// (Exception, EOSError, EOleSysError, EOleException) and the named kinds the
// plug-ins raise or receive from the host.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

using HRESULT = std::int32_t;

class Exception : public std::exception {
public:
    explicit Exception(std::string message, int helpContext = 0)
        : message_(std::move(message)), helpContext_(helpContext)
    {
    }
    ~Exception() override = default;

    const std::string& Message() const noexcept { return message_; }
    void SetMessage(std::string message) { message_ = std::move(message); }
    int HelpContext() const noexcept { return helpContext_; }
    void SetHelpContext(int helpContext) noexcept { helpContext_ = helpContext; }
    const char* what() const noexcept override { return message_.c_str(); }
    // The kind's name as the error mapping sees it ("EConvertError" ...).
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    std::string message_;
    int helpContext_;
};

// An operating-system error carrying its system error code.
class EOSError : public Exception {
public:
    EOSError(std::string message, std::uint32_t errorCode, int helpContext = 0)
        : Exception(std::move(message), helpContext), errorCode_(errorCode)
    {
    }
    std::uint32_t ErrorCode() const noexcept { return errorCode_; }
    void SetErrorCode(std::uint32_t code) noexcept { errorCode_ = code; }
    const char* ClassName() const noexcept override { return "EOSError"; }

private:
    std::uint32_t errorCode_;
};

// An error that carries a result code of its own.
class EOleSysError : public Exception {
public:
    EOleSysError(std::string message, HRESULT errorCode, int helpContext = 0)
        : Exception(std::move(message), helpContext), errorCode_(errorCode)
    {
    }
    HRESULT ErrorCode() const noexcept { return errorCode_; }
    void SetErrorCode(HRESULT code) noexcept { errorCode_ = code; }
    const char* ClassName() const noexcept override { return "EOleSysError"; }

private:
    HRESULT errorCode_;
};

// A result-code error that also names its source and help file
// (database provider errors, host failures of unknown kind).
class EOleException : public EOleSysError {
public:
    EOleException(std::string message, HRESULT errorCode, std::string source = {}, std::string helpFile = {},
                  int helpContext = 0)
        : EOleSysError(std::move(message), errorCode, helpContext), source_(std::move(source)),
          helpFile_(std::move(helpFile))
    {
    }
    const std::string& Source() const noexcept { return source_; }
    const std::string& HelpFile() const noexcept { return helpFile_; }
    const char* ClassName() const noexcept override { return "EOleException"; }

private:
    std::string source_;
    std::string helpFile_;
};

// Named kinds: (name, parent). Each is a plain message-and-help-context
// exception distinguished by its name.
#define HAM_NAMED_EXCEPTIONS(X)                                                                                        \
    X(EAbort, Exception)                                                                                               \
    X(EAbstractError, Exception)                                                                                       \
    X(EArgumentException, Exception)                                                                                   \
    X(EArgumentOutOfRangeException, EArgumentException)                                                                \
    X(EAssertionFailed, Exception)                                                                                     \
    X(EBitsError, Exception)                                                                                           \
    X(EClassNotFound, Exception)                                                                                       \
    X(EComponentError, Exception)                                                                                      \
    X(EConvertError, Exception)                                                                                        \
    X(EDirectoryNotFoundException, Exception)                                                                          \
    X(EStreamError, Exception)                                                                                         \
    X(EFileStreamError, EStreamError)                                                                                  \
    X(EFCreateError, EFileStreamError)                                                                                 \
    X(EFOpenError, EFileStreamError)                                                                                   \
    X(EFileNotFoundException, Exception)                                                                               \
    X(EFilerError, EStreamError)                                                                                       \
    X(EHeapException, Exception)                                                                                       \
    X(EInOutError, Exception)                                                                                          \
    X(EIntfCastError, Exception)                                                                                       \
    X(EInvalidCast, Exception)                                                                                         \
    X(EInvalidContainer, Exception)                                                                                    \
    X(EInvalidImage, EFilerError)                                                                                      \
    X(EInvalidInsert, Exception)                                                                                       \
    X(EInvalidOperation, Exception)                                                                                    \
    X(EInvalidPointer, EHeapException)                                                                                 \
    X(EListError, Exception)                                                                                           \
    X(EMethodNotFound, EFilerError)                                                                                    \
    X(EMonitor, Exception)                                                                                             \
    X(EMonitorLockException, Exception)                                                                                \
    X(ENoConstructException, Exception)                                                                                \
    X(ENoMonitorSupportException, Exception)                                                                           \
    X(ENotSupportedException, Exception)                                                                               \
    X(EOutOfMemory, EHeapException)                                                                                    \
    X(EOutOfResources, Exception)                                                                                      \
    X(EPackageError, Exception)                                                                                        \
    X(EParserError, Exception)                                                                                         \
    X(EPathTooLongException, Exception)                                                                                \
    X(EProgrammerNotFound, Exception)                                                                                  \
    X(EPropReadOnly, Exception)                                                                                        \
    X(EPropWriteOnly, Exception)                                                                                       \
    X(EReadError, EFilerError)                                                                                         \
    X(EResNotFound, Exception)                                                                                         \
    X(EStringListError, Exception)                                                                                     \
    X(EVariantError, Exception)                                                                                        \
    X(EWriteError, EFilerError)

#define HAM_DECLARE_NAMED_EXCEPTION(Name, Parent)                                                                      \
    class Name : public Parent {                                                                                       \
    public:                                                                                                            \
        using Parent::Parent;                                                                                          \
        const char* ClassName() const noexcept override { return #Name; }                                              \
    };
HAM_NAMED_EXCEPTIONS(HAM_DECLARE_NAMED_EXCEPTION)

// Raises EAssertionFailed naming the source file and line, as a failed
// assertion of the given unit does.
[[noreturn]] void AssertionFailure(const char* file, int line);
#define HAM_ASSERT(cond)                                                                                               \
    do {                                                                                                               \
        if (!(cond)) ::AssertionFailure(__FILE__, __LINE__);                                                           \
    } while (0)
