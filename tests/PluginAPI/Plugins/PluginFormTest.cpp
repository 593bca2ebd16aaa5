// The form base and the dialog skeleton against the real host, in process.
#include "PluginAPI/Plugins/PluginForm.h"
#include "Host/Host.h"
#include "tests/Support/TestHost.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

class TThrowingDriver final : public Forms::IModalDriver {
public:
    void RunModal(Forms::TForm&) override { throw EAbort("loop ended badly"); }
    void ProcessMessages(Forms::TForm&) override {}
    std::optional<std::string> ExecuteFileDialog(Forms::TForm&, const Forms::TFileDialog&) override { return {}; }
    void ShowException(Forms::TForm&, const std::exception&) override {}
    void BusyChanged(Forms::TForm&, bool) override {}
};

class PluginFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        profile_.Options.Messages = nullptr;
        profile_.Options.Trace = [this](const std::string& call) { calls_.push_back(call); };
    }

    // Hosts on the one profile; a test may hold several.
    std::unique_ptr<THost> MakeHost(bool icons = true, bool windows = true)
    {
        THostOptions o = profile_.Options;
        o.WithIcons = icons;
        o.WithWindows = windows;
        return std::make_unique<THost>(o);
    }
    // A dialog set up as the click action sets it up, driven by actions.
    void Prepare(TPluginDialog& dialog, ICore* core)
    {
        auto kernel = ComPtr<IHostKernel>::Query(core, IID_IHostKernel);
        dialog.Kernel = kernel;
        dialog.AppIni = (profile_.Profile() / "host.ini").string();
        dialog.Section = "Test";
    }
    int Count(const std::string& call) const
    {
        return static_cast<int>(std::count(calls_.begin(), calls_.end(), call));
    }

    std::vector<std::string> calls_;
    TTestHost profile_{"pluginform"};
    std::istringstream actions_{"close\n"};
    std::ostringstream out_, err_;
};

} // namespace

TEST_F(PluginFormTest, MsgProgressContinuesTheLine)
{
    auto host = MakeHost();
    TPluginDialog dialog(host->AttachCore("X.ext"));
    dialog.MsgProgress(1, "abc", false);
    dialog.MsgProgress(0, " def", true);
    EXPECT_EQ(dialog.mProgress.Text(), "   abc def\r\n");
    dialog.MsgProgress(2, "x", true);
    EXPECT_EQ(dialog.mProgress.Lines(), (std::vector<std::string>{"   abc def", "      x"}));
}

TEST_F(PluginFormTest, ShowProgressTakesTheIntegerPart)
{
    auto host = MakeHost();
    TPluginDialog dialog(host->AttachCore("X.ext"));
    for (auto [fraction, percent] : {std::pair{0.999, 99}, {1.0, 100}, {0.0, 0}, {0.29, 29}, {0.5, 50}}) {
        dialog.ShowProgress(fraction);
        EXPECT_EQ(dialog.psProgress.Percent(), percent) << fraction;
    }
}

TEST_F(PluginFormTest, ActivationNamesAndDeletesTheErrorFile)
{
    auto host = MakeHost();
    TPluginDialog dialog(host->AttachCore("CallbookStore.ext"));
    Prepare(dialog, host->AttachCore("CallbookStore.ext"));
    auto expected = (profile_.Profile() / "download" / "CallbookStore.err").string();
    WriteFileText(expected, "old\r\n");
    dialog.MsgProgress(0, "stale", true);
    dialog.FormActivate();
    EXPECT_EQ(dialog.ErrorLogPath, expected);
    EXPECT_FALSE(fs::exists(expected));
    EXPECT_EQ(dialog.mProgress.Text(), "");
    EXPECT_FALSE(dialog.LastRunDone);
    TPluginDialog::AppendErrorLog(dialog.ErrorLogPath, "DL1ABC\t> INSERT ...");
    TPluginDialog::AppendErrorLog(dialog.ErrorLogPath, "G4XYZ\t> UPDATE ...");
    EXPECT_EQ(ReadFileText(expected), "DL1ABC\t> INSERT ...\r\nG4XYZ\t> UPDATE ...\r\n");
}

TEST_F(PluginFormTest, ModalShowIsBracketedAlsoOnException)
{
    auto host = MakeHost();
    ICore* core = host->AttachCore("X.ext");
    {
        TPluginDialog dialog(core);
        Prepare(dialog, core);
        Forms::TConsoleDriver driver(actions_, out_, err_);
        dialog.SetDriver(&driver);
        dialog.ShowModal();
    }
    TThrowingDriver throwing;
    TPluginDialog dialog(core);
    Prepare(dialog, core);
    dialog.SetDriver(&throwing);
    EXPECT_THROW(dialog.ShowModal(), EAbort);
    EXPECT_EQ(Count("IApplicationWindows.BeginModal"), 2);
    EXPECT_EQ(Count("IApplicationWindows.EndModal"), 2);
    EXPECT_EQ(host->ModalDepth, 0);
}

TEST_F(PluginFormTest, IconsBecomeTheWindowsAndAreDestroyedOnce)
{
    const auto before = LiveIconCount();
    {
        auto host = MakeHost();
        ICore* core = host->AttachCore("X.ext");
        TPluginDialog dialog(core);
        Prepare(dialog, core);
        std::istringstream twice{"close\n"};
        Forms::TConsoleDriver driver(twice, out_, err_);
        dialog.SetDriver(&driver);
        dialog.ShowModal();
        IconHandle first = dialog.SmallIcon();
        EXPECT_NE(first, 0u);
        EXPECT_EQ(LiveIconCount(), before + 2);
        dialog.ShowModal(); // a second show replaces both icons
        EXPECT_NE(dialog.SmallIcon(), first);
        EXPECT_EQ(LiveIconCount(), before + 2);
        EXPECT_FALSE(DestroyIcon(first)); // already destroyed by the window
    }
    EXPECT_EQ(LiveIconCount(), before);
}

TEST_F(PluginFormTest, HostWithoutIconsOrWindows)
{
    auto noIcons = MakeHost(false);
    ICore* core = noIcons->AttachCore("X.ext");
    TPluginDialog dialog(core);
    Prepare(dialog, core);
    Forms::TConsoleDriver driver(actions_, out_, err_);
    dialog.SetDriver(&driver);
    EXPECT_NO_THROW(dialog.ShowModal());
    EXPECT_EQ(dialog.SmallIcon(), 0u);

    auto noWindows = MakeHost(true, false);
    try {
        TPluginDialog refused(noWindows->AttachCore("X.ext"));
        FAIL() << "no assertion failure";
    } catch (const EAssertionFailed& e) {
        EXPECT_NE(e.Message().find("PluginAPI/Plugins/PluginForm.cpp"), std::string::npos) << e.Message();
    }
}

TEST_F(PluginFormTest, CreateParamsByParentMode)
{
    auto host = MakeHost();
    TPluginDialog dialog(host->AttachCore("X.ext"));
    dialog.ParentWindow = 77;
    struct {
        std::uint8_t mode;
        WindowHandle parent;
        std::uint32_t style, exStyle;
    } rows[] = {{0, 0, 0, 0},         {1, 0, 0, 0}, {2, 77, 0, 0}, {3, 77, 0, WS_EX_APPWINDOW},
                {4, 77, WS_CHILD, 0}, {9, 0, 0, 0}};
    for (auto& r : rows) {
        dialog.ParentMode = r.mode;
        auto p = dialog.CreateParams();
        EXPECT_EQ(p.WndParent, r.parent) << int(r.mode);
        EXPECT_EQ(p.Style, r.style) << int(r.mode);
        EXPECT_EQ(p.ExStyle, r.exStyle) << int(r.mode);
    }
}
