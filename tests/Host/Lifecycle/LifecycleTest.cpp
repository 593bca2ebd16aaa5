// The plug-in libraries loaded by the real host.
#include "Host/Host.h"
#include "Host/HostObjects.h"
#include "Platform/SysUtils/SysUtils.h"
#include "tests/Support/TestHost.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>

namespace {

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Dialogs opened here read their actions from standard input: none.
        int null = open("/dev/null", O_RDONLY);
        dup2(null, STDIN_FILENO);
        close(null);
        host_.Options.PluginDir = HAM_BINARY_DIR "/bin";
        host_.Options.Trace = [this](const std::string& call) { calls_.push_back(call); };
    }

    THostOptions Options() const { return host_.Options; }
    static fs::path Library(const char* name) { return fs::path(HAM_BINARY_DIR "/bin") / name; }
    std::vector<std::string> CallsStartingWith(const std::string& prefix) const
    {
        std::vector<std::string> out;
        for (const auto& c : calls_)
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        return out;
    }

    std::vector<std::string> calls_;
    TTestHost host_{"lifecycle"};
};

} // namespace

TEST_F(Lifecycle, ListsTheFourPlugins)
{
    THost host(Options());
    host.LoadPlugins();
    std::vector<std::string> rows;
    for (const auto& p : host.Plugins()) {
        ASSERT_EQ(p->InitResult, S_OK) << p->File;
        rows.push_back(p->Name + "|" + p->Version + "|" + std::to_string(p->Kind) + "|" + GuidToString(p->ID));
    }
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows,
              (std::vector<std::string>{
                  "Append Zemrak log data into current log|1.04.019 (1904)|1|{1A177FF2-5870-4621-B46F-D604003EFDB8}",
                  "Export Callbook as Zemrak updates|1.04.019 (1730)|0|{DB195330-D19A-44AE-9D82-60CAE2F71C04}",
                  "Import Zemrak updates into Callbook|1.04.019 (1725)|2|{E17AD245-4828-48E9-B786-1E8C0850E86F}",
                  "Store Callbook into Zemrak log|1.04.019 (1730)|0|{6E370247-8E97-4B10-95D5-68875CEC2715}",
              }));
    std::vector<std::string> captions;
    for (const auto& c : host.Menu())
        captions.push_back(c.Item->Caption + "|" + std::to_string(c.Item->Kind));
    std::sort(captions.begin(), captions.end());
    EXPECT_EQ(captions, (std::vector<std::string>{
                            "Append Zemrak log data into current log|1", "Export Callbook as Zemrak updates|0",
                            "Import Zemrak updates into Callbook|2", "Store Callbook to Zemrak log|0"}));
}

TEST_F(Lifecycle, CoreVersionGate)
{
    for (auto [version, accepted] : {std::pair{104018, false}, std::pair{104019, true}}) {
        auto o = Options();
        o.CoreVersion = version;
        THost host(o);
        auto& p = host.Load(Library("LogAppend.ext"));
        EXPECT_EQ(p.InitResult, accepted ? S_OK : static_cast<HRESULT>(0x8000FFFF)) << version;
        EXPECT_EQ(static_cast<bool>(p.Plugin), accepted);
        EXPECT_EQ(host.Menu().size(), accepted ? 1u : 0u);
        if (!accepted) {
            EXPECT_EQ(host.OutstandingReferences(), 0);
        }
    }
}

TEST_F(Lifecycle, MissingHostInterfacesRefuseThePlugin)
{
    for (int missing = 0; missing < 3; ++missing) {
        auto o = Options();
        o.WithHostServer = missing != 0;
        o.WithWindows = missing != 1;
        o.WithMenuManager = missing != 2;
        THost host(o);
        auto& p = host.Load(Library("CallbookStore.ext"));
        EXPECT_EQ(p.InitResult, static_cast<HRESULT>(0x8000FFFF)) << missing;
        EXPECT_FALSE(p.Plugin);
        EXPECT_TRUE(host.Menu().empty());
        EXPECT_EQ(host.OutstandingReferences(), 0) << missing;
        // The refusal's reason does not reach the host.
        IErrorInfo* info = nullptr;
        EXPECT_NE(GetErrorInfo(0, &info), S_OK);
    }
}

TEST_F(Lifecycle, InitialisationCallsInOrder)
{
    THost host(Options());
    host.Load(Library("CallbookExport.ext"));
    EXPECT_EQ(calls_, (std::vector<std::string>{
                          "load CallbookExport.ext",
                          "ICore.GetVersion",
                          "ICore.QueryInterface IHostKernel",
                          "ICore.QueryInterface IHostServer",
                          "ICore.QueryInterface IApplicationWindows",
                          "IApplicationWindows.GetApplicationHandle",
                          "ICore.QueryInterface IMenuManager",
                          "IMenuManager.CreateMenuItem",
                          "IMenuItem.SetCaption PluginMenuItem",
                          "IMenuItem.SetHint ",
                          "IMenuItem.SetKind 0",
                          "IMenuItem.SetEnabled true",
                          "IMenuItem.SetTag 0",
                          "IMenuItem.SetOnClick",
                          "IMenuItem.SetCaption Export Callbook as Zemrak updates",
                          "IMenuItem.SetHint Export Callbook for further usage as updates for Zemrak log",
                      }));
}

TEST_F(Lifecycle, DestroyingReleasesEverythingOnce)
{
    THost host(Options());
    host.LoadPlugins();
    ASSERT_EQ(host.Menu().size(), 4u);
    EXPECT_GT(host.OutstandingReferences(), 0);
    host.UnloadAll();
    EXPECT_EQ(host.MenuDeletions, 4);
    EXPECT_TRUE(host.Menu().empty());
    EXPECT_EQ(host.OutstandingReferences(), 0);
    EXPECT_EQ(CallsStartingWith("IMenuManager.DeleteMenuItem").size(), 4u);
    // Each library: Destroying, then its finalisation export.
    auto it = std::find(calls_.begin(), calls_.end(), "IDestroyNotify.Destroying");
    ASSERT_NE(it, calls_.end());
    EXPECT_EQ(*(it + 1), "IMenuManager.DeleteMenuItem");
    EXPECT_EQ((it + 2)->rfind("done ", 0), 0u);
}

TEST_F(Lifecycle, DisabledCommandDoesNothing)
{
    THost host(Options());
    host.Load(Library("CallbookImport.ext"));
    host.Menu().front().Item->Enabled = false;
    calls_.clear();
    EXPECT_EQ(host.Run("Import Zemrak updates into Callbook"), S_OK);
    EXPECT_EQ(calls_, (std::vector<std::string>{"INotifyEvent.Notify", "IMenuItem.GetEnabled"}));
}

TEST_F(Lifecycle, ProbeStopsAtTheFirstMissingColumn)
{
    {
        THostDb db = OpenHostDatabase(host_.Profile() / "host.db", false);
        ExecScript(db, "ALTER TABLE CALLBOOK DROP COLUMN SK;");
    }
    THost host(Options());
    host.Load(Library("CallbookImport.ext"));
    calls_.clear();
    EXPECT_EQ(host.Run("Import Zemrak updates into Callbook"), S_OK);
    EXPECT_EQ(
        CallsStartingWith("IHostServer.FieldExists"),
        (std::vector<std::string>{"IHostServer.FieldExists CALLBOOK AKA", "IHostServer.FieldExists CALLBOOK SKYPE",
                                  "IHostServer.FieldExists CALLBOOK BORN", "IHostServer.FieldExists CALLBOOK SK"}));
    EXPECT_EQ(CallsStartingWith("IHostKernel.MessageBox"), (std::vector<std::string>{"IHostKernel.MessageBox 0 4"}));
    EXPECT_EQ(host_.Messages.str(), "Critical warning: Invalid DB structure, upgrade it to version 1.04.019 or "
                                    "re-create.\r\n(Use service plugin Kelt104019.ext if needed)\n");
    EXPECT_TRUE(CallsStartingWith("IApplicationWindows.BeginModal").empty());
}

TEST_F(Lifecycle, LogAppendProbesNothing)
{
    THost host(Options());
    host.Load(Library("LogAppend.ext"));
    calls_.clear();
    EXPECT_EQ(host.Run("Append Zemrak log data into current log"), S_OK);
    EXPECT_TRUE(CallsStartingWith("IHostServer.FieldExists").empty());
    EXPECT_EQ(CallsStartingWith("IApplicationWindows.").back(), "IApplicationWindows.EndModal");
}

TEST_F(Lifecycle, UnknownCaptionIsAnError)
{
    THost host(Options());
    host.LoadPlugins();
    EXPECT_THROW(host.Run("No such command"), EArgumentException);
}
