// Pins the binary layout of the interface: every method's slot in its
// table, the sizes of the types that cross, and the interface identifiers.
// A method moved, inserted or removed, or a type changed, fails here before
// it breaks a plug-in built against the published interface.
#include "PluginAPI/PluginAPI.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The table slot of a virtual method, read from its member pointer (the
// Itanium C++ ABI stores 1 + the byte offset into the table).
template <class M> std::ptrdiff_t Slot(M method)
{
    static_assert(sizeof(M) == 2 * sizeof(std::ptrdiff_t));
    std::ptrdiff_t words[2];
    std::memcpy(words, &method, sizeof words);
    return (words[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
}

struct TMethod {
    const char* Name;
    std::ptrdiff_t Slot;
};
#define METHOD(I, M)                                                                                                   \
    TMethod                                                                                                            \
    {                                                                                                                  \
#M, Slot(&I::M)                                                                                                \
    }

// The methods must sit in consecutive slots in this order, right after
// QueryInterface, AddRef and Release.
void ExpectOrder(const char* interfaceName, const std::vector<TMethod>& methods)
{
    for (std::size_t i = 0; i < methods.size(); ++i)
        EXPECT_EQ(methods[i].Slot, static_cast<std::ptrdiff_t>(3 + i)) << interfaceName << "::" << methods[i].Name;
}

TEST(InterfaceLayoutTest, BaseInterfaceSlots)
{
    EXPECT_EQ(Slot(&IInterface::QueryInterface), 0);
    EXPECT_EQ(Slot(&IInterface::AddRef), 1);
    EXPECT_EQ(Slot(&IInterface::Release), 2);
}

TEST(InterfaceLayoutTest, HostSideMethodOrder)
{
    ExpectOrder("ICore", {METHOD(ICore, GetVersion)});
    ExpectOrder("IHostKernel",
                {METHOD(IHostKernel, WriteLog), METHOD(IHostKernel, ShowMessage), METHOD(IHostKernel, MessageBox),
                 METHOD(IHostKernel, Reserved4), METHOD(IHostKernel, Reserved5), METHOD(IHostKernel, Reserved6),
                 METHOD(IHostKernel, ExecuteCommand), METHOD(IHostKernel, GetParameter)});
    ExpectOrder("IHostServer",
                {METHOD(IHostServer, TableExists), METHOD(IHostServer, Reserved2),  METHOD(IHostServer, FieldExists),
                 METHOD(IHostServer, CreateQuery), METHOD(IHostServer, OpenQuery),  METHOD(IHostServer, GetRecordCount),
                 METHOD(IHostServer, First),       METHOD(IHostServer, Reserved8),  METHOD(IHostServer, Next),
                 METHOD(IHostServer, Reserved10),  METHOD(IHostServer, Reserved11), METHOD(IHostServer, Eof),
                 METHOD(IHostServer, Locate),      METHOD(IHostServer, GetString),  METHOD(IHostServer, GetInteger),
                 METHOD(IHostServer, Reserved16),  METHOD(IHostServer, GetBoolean), METHOD(IHostServer, GetDateTime),
                 METHOD(IHostServer, Requery),     METHOD(IHostServer, CloseQuery), METHOD(IHostServer, FreeQuery),
                 METHOD(IHostServer, ExecSQL)});
    ExpectOrder("IApplicationWindows",
                {METHOD(IApplicationWindows, GetApplicationHandle), METHOD(IApplicationWindows, Reserved2),
                 METHOD(IApplicationWindows, Reserved3), METHOD(IApplicationWindows, Reserved4),
                 METHOD(IApplicationWindows, Reserved5), METHOD(IApplicationWindows, BeginModal),
                 METHOD(IApplicationWindows, EndModal), METHOD(IApplicationWindows, Reserved8),
                 METHOD(IApplicationWindows, Reserved9)});
    ExpectOrder("IMenuManager", {METHOD(IMenuManager, CreateMenuItem), METHOD(IMenuManager, DeleteMenuItem)});
    ExpectOrder("IMenuItem", {METHOD(IMenuItem, Reserved1), METHOD(IMenuItem, Reserved2), METHOD(IMenuItem, GetEnabled),
                              METHOD(IMenuItem, Reserved4), METHOD(IMenuItem, Reserved5), METHOD(IMenuItem, SetCaption),
                              METHOD(IMenuItem, SetTag), METHOD(IMenuItem, SetEnabled), METHOD(IMenuItem, SetHint),
                              METHOD(IMenuItem, SetKind), METHOD(IMenuItem, SetOnClick)});
    ExpectOrder("IApplicationIcons",
                {METHOD(IApplicationIcons, GetSmallIcon), METHOD(IApplicationIcons, GetLargeIcon)});
    ExpectOrder("IConsoleSession", {METHOD(IConsoleSession, DialogEnded)});
}

TEST(InterfaceLayoutTest, PluginSideMethodOrder)
{
    ExpectOrder("INotifyEvent", {METHOD(INotifyEvent, Notify)});
    ExpectOrder("IDestroyNotify", {METHOD(IDestroyNotify, Destroying)});
    ExpectOrder("IPlugin", {METHOD(IPlugin, GetID), METHOD(IPlugin, GetName), METHOD(IPlugin, GetVersion),
                            METHOD(IPlugin, GetKind), METHOD(IPlugin, GetCopyright), METHOD(IPlugin, GetHomePage),
                            METHOD(IPlugin, GetEmail)});
}

TEST(InterfaceLayoutTest, TypesThatCrossKeepTheirSize)
{
    static_assert(sizeof(GUID) == 16 && offsetof(GUID, Data4) == 8);
    static_assert(sizeof(HRESULT) == 4 && sizeof(BOOL32) == 4 && sizeof(WORD) == 2);
    static_assert(sizeof(QueryHandle) == 4 && sizeof(WindowHandle) == 4 && sizeof(IconHandle) == 4);
    static_assert(sizeof(char16_t) == 2);
    // An interface is its table pointer and nothing else.
    static_assert(sizeof(IHostServer) == sizeof(void*) && sizeof(IPlugin) == sizeof(void*));
    SUCCEED();
}

TEST(InterfaceLayoutTest, IdentifiersAndExportNames)
{
    struct Case {
        const GUID& Iid;
        const char* Text;
    };
    const Case cases[] = {
        {IID_ICore, "{2E4C1D23-873E-494D-B628-65BCC0A547A7}"},
        {IID_IHostKernel, "{4188E8AA-AC3A-4398-BECF-2B644474BED4}"},
        {IID_IHostServer, "{3ECC8EDB-00C3-42E6-9F83-CC066A5B194C}"},
        {IID_IApplicationWindows, "{2EE5EF53-6EA9-4537-A7C3-233ED9D39108}"},
        {IID_IMenuManager, "{32FBAF60-BCD8-444E-BD14-E86726041CD1}"},
        {IID_IMenuItem, "{37138407-0C6F-448B-B184-34F1CD638B85}"},
        {IID_IApplicationIcons, "{2EF25A6A-F584-469C-B9F1-AA35EA04CC40}"},
        {IID_INotifyEvent, "{A6435676-ACE3-4A28-8358-720CEA495FFA}"},
        {IID_IDestroyNotify, "{E55338C1-631A-424D-ACF7-863C9D4CADA1}"},
        {IID_IPlugin, "{16AB27D6-DD64-4CCE-B3E5-ECBCE7C7401A}"},
        {IID_IConsoleSession, "{11C6E38B-F5C1-4BDF-93FA-A433B2E593A6}"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GuidToString(c.Iid), c.Text);
    EXPECT_STREQ(PLUGIN_INIT_EXPORT, "983BEDA12B2347028D99FF042C551640");
    EXPECT_STREQ(PLUGIN_DONE_EXPORT, "983BEDA12B2347028D99FF042C551640_done");
}

} // namespace
