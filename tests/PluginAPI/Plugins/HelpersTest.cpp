#include "PluginAPI/Plugins/Helpers.h"
#include "PluginAPI/Plugins/CRC16.h"
#include "PluginAPI/Plugins/PluginEntry.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

struct TErrorInfoRecord {
    bool Present = false;
    GUID Guid{};
    std::string Source, Description;
};

TErrorInfoRecord TakeErrorInfo()
{
    TErrorInfoRecord r;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK) return r;
    r.Present = true;
    info->GetGUID(&r.Guid);
    WideString s;
    info->GetSource(s.Out());
    r.Source = s.Utf8();
    info->GetDescription(s.Out());
    r.Description = s.Utf8();
    info->Release();
    return r;
}

void SetHostError(const std::string& description, const std::string& source)
{
    ICreateErrorInfo* create = nullptr;
    ASSERT_EQ(CreateErrorInfo(&create), S_OK);
    create->SetDescription(WideString(description).c_bstr());
    create->SetSource(WideString(source).c_bstr());
    IErrorInfo* info = nullptr;
    create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
    SetErrorInfo(0, info);
    info->Release();
    create->Release();
}

// The probe library, loaded as the host loads a plug-in.
class Boundary : public ::testing::Test {
protected:
    void SetUp() override
    {
        lib_ = dlopen(HAM_BINARY_DIR "/bin/libBoundaryProbe.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib_, nullptr) << dlerror();
        raise_ = reinterpret_cast<HRESULT (*)(int)>(dlsym(lib_, "ProbeRaise"));
        inbound_ = reinterpret_cast<void (*)(HRESULT(*)(), char*, std::size_t)>(dlsym(lib_, "ProbeInbound"));
        ASSERT_TRUE(raise_ && inbound_);
    }
    void TearDown() override
    {
        if (lib_) dlclose(lib_);
    }
    std::string Inbound(HRESULT (*host)())
    {
        char buf[512];
        inbound_(host, buf, sizeof buf);
        return buf;
    }
    void* lib_ = nullptr;
    HRESULT (*raise_)(int) = nullptr;
    void (*inbound_)(HRESULT (*)(), char*, std::size_t) = nullptr;
};

} // namespace

TEST(Crc16, CheckValueAndNameCodes)
{
    EXPECT_EQ(Crc16Utf8("123456789"), 0x31C3);
    EXPECT_EQ(Crc16Utf8(""), 0);
    struct {
        const char* name;
        std::uint32_t code;
    } rows[] = {
        {"EBaseException", 0x80047031},
        {"ECheckedInterfacedObjectError", 0x80044383},
        {"ECheckedInterfacedObjectDeleteError", 0x80045A95},
        {"ECheckedInterfacedObjectDoubleFreeError", 0x80048672},
        {"ECheckedInterfacedObjectUseDeletedError", 0x8004D50D},
        {"EInvalidCoreVersion", 0x8004D63A},
        {"EUnsupportedCore", 0x80046559},
        {"EAbort", 0x8004C1E0},
        {"EAssertionFailed", 0x8004804D},
        {"EConvertError", 0x800428DF},
        {"EOutOfMemory", 0x800443BC},
    };
    for (auto& r : rows)
        EXPECT_EQ(static_cast<std::uint32_t>(ErrorCodeOfClass(r.name)), r.code) << r.name;
    // Every family member carries the code of the class actually created.
    EXPECT_EQ(static_cast<std::uint32_t>(ECheckedInterfacedObjectDeleteError("x").ErrorCode()), 0x80045A95u);
    EXPECT_EQ(static_cast<std::uint32_t>(EUnsupportedCore("x").ErrorCode()), 0x80046559u);
    EXPECT_EQ(EInvalidCoreVersion("x").HelpContext(), 0);
}

TEST(ExceptionToResult, Rules)
{
    auto code = [](auto e) { return static_cast<std::uint32_t>(ExceptionToResult(std::make_exception_ptr(e))); };
    EXPECT_EQ(code(Exception("plain")), 0x8000FFFFu);
    EXPECT_EQ(code(EOleSysError("x", 0x1234)), 0x1234u);
    EXPECT_EQ(code(EInvalidCoreVersion("x")), 0x8004D63Au);
    EXPECT_EQ(code(EOSError("x", 5)), 0x80070005u);
    EXPECT_EQ(code(EOSError("x", 0)), 0u);
    EXPECT_EQ(code(EOSError("x", 0x12345)), 0x80072345u);
    EXPECT_EQ(code(EConvertError("x")), 0x800428DFu);
    EXPECT_EQ(code(42), 0x8000FFFFu);
}

TEST_F(Boundary, OutboundMappingCrossesThroughTheSharedErrorRecord)
{
    struct {
        int kind;
        std::uint32_t code;
        bool pluginGuid;
        const char* description;
    } rows[] = {
        {0, 0x8004D63A, true, "This plugin needs windows support."},
        {1, 0x80070005, false, "Access denied"},
        // An exception that escapes never reads as success, even with error code 0.
        {2, 0x8000FFFF, false, "No error"},
        {3, 0x8000FFFF, false, "plain"},
        {4, 0x800428DF, true, "'x' is not a valid integer value"},
        {5, 0x8000FFFF, false, ""},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.kind);
        EXPECT_EQ(static_cast<std::uint32_t>(raise_(r.kind)), r.code);
        auto info = TakeErrorInfo();
        ASSERT_TRUE(info.Present);
        EXPECT_EQ(info.Source, "pluginsystem.TProbe");
        EXPECT_EQ(info.Description, r.description);
        EXPECT_EQ(info.Guid, r.pluginGuid ? PluginErrorGUID : GUID_NULL);
    }
}

TEST_F(Boundary, InboundMappingBuildsTheKindFromCodeAndErrorRecord)
{
    EXPECT_EQ(Inbound([]() -> HRESULT { return 0; }), "ok");
    EXPECT_EQ(Inbound([]() -> HRESULT { return 1; }), "ok");
    // No error information: an EAbort with an empty message.
    EXPECT_EQ(Inbound([]() -> HRESULT { return static_cast<HRESULT>(0x8004C1E0); }), "EAbort|");
    EXPECT_EQ(Inbound([]() -> HRESULT {
                  SetHostError("Access denied", "host");
                  return static_cast<HRESULT>(0x80070005);
              }),
              "EOSError|Access denied|5");
    EXPECT_EQ(Inbound([]() -> HRESULT {
                  SetHostError("bad date", "host");
                  return static_cast<HRESULT>(0x800428DF);
              }),
              "EConvertError|bad date");
    EXPECT_EQ(Inbound([]() -> HRESULT {
                  SetHostError("gone", "host");
                  return static_cast<HRESULT>(0x8004D63A);
              }),
              "EInvalidCoreVersion|gone");
    // Not in the table: the OLE exception kind with source.
    EXPECT_EQ(Inbound([]() -> HRESULT {
                  SetHostError("disk on fire", "hostdb");
                  return static_cast<HRESULT>(0x80004005);
              }),
              "EOleException|disk on fire|hostdb");
    EXPECT_EQ(Inbound([]() -> HRESULT { return static_cast<HRESULT>(0x80046559); }), "EOleException||");
}

namespace {

class TCounted final : public TCheckedInterfacedObject, public IInterface {
public:
    const char* ClassName() const noexcept override { return "TCounted"; }
    HAM_CHECKED_IINTERFACE
    std::function<void()> OnDestroy;
    ~TCounted() override
    {
        if (OnDestroy) OnDestroy();
    }

private:
    void* QueryInterfaceImpl(const GUID& iid) { return iid == IID_IInterface ? this : nullptr; }
};

} // namespace

TEST(CheckedInterfacedObject, DebugNameAndCounting)
{
    auto* object = CheckedCreate<TCounted>();
    EXPECT_EQ(object->RefCount(), 0);
    char expected[64];
    std::snprintf(expected, sizeof expected, "[$%08llX] TCounted",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(object)));
    EXPECT_EQ(object->DebugName(), expected);
    EXPECT_EQ(object->AddRef(), 1);
    EXPECT_EQ(object->AddRef(), 2);

    try {
        object->Free();
        FAIL() << "no exception";
    } catch (const ECheckedInterfacedObjectDeleteError& e) {
        EXPECT_EQ(e.Message(),
                  "Object deletion attempt " + object->DebugName() + " with active interface link; counter: 2");
    }
    EXPECT_EQ(object->RefCount(), 2); // intact
    EXPECT_EQ(object->Release(), 1);
    EXPECT_EQ(object->Release(), 0); // destroyed
}

TEST(CheckedInterfacedObject, UseAndFreeDuringDestruction)
{
    std::string addRefError, freeError;
    auto* object = CheckedCreate<TCounted>();
    object->OnDestroy = [&] {
        try {
            object->CheckedAddRef();
        } catch (const ECheckedInterfacedObjectUseDeletedError& e) {
            addRefError = e.Message();
        }
        try {
            object->Free();
        } catch (const ECheckedInterfacedObjectDoubleFreeError& e) {
            freeError = e.Message();
        }
    };
    const std::string name = object->DebugName();
    object->AddRef();
    object->Release();
    EXPECT_EQ(addRefError, "Usage attempt with just deleted object " + name);
    EXPECT_EQ(freeError, "Object deletion attempt with just deleted one " + name);
}
