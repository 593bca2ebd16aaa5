// hamhost-gui on a private X server: the four dialogs as real windows on the
// demo profile, and an import run through the graphical dialog.
#include "tests/Support/TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

// Xvfb on a display of its own choosing; the display number comes back on a pipe.
class TXServer {
public:
    TXServer()
    {
        const std::string program = Find("Xvfb");
        if (program.empty()) return;
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 3);
        const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
        posix_spawn_file_actions_adddup2(&actions, null, 1);
        posix_spawn_file_actions_adddup2(&actions, null, 2);
        std::vector<std::string> args{program, "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        close(null);
        if (rc != 0) {
            pid_ = -1;
            close(pipeFds[0]);
            return;
        }
        std::string number;
        pollfd wait{pipeFds[0], POLLIN, 0};
        char c = 0;
        while (poll(&wait, 1, 30000) > 0 && read(pipeFds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(pipeFds[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    ~TXServer()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    TXServer(const TXServer&) = delete;
    TXServer& operator=(const TXServer&) = delete;

    // Empty when no server runs.
    const std::string& Display() const { return display_; }

private:
    static std::string Find(const std::string& name)
    {
        const char* path = std::getenv("PATH");
        std::string folders = path ? path : "/usr/bin:/bin";
        for (std::size_t start = 0; start <= folders.size();) {
            std::size_t end = folders.find(':', start);
            if (end == std::string::npos) end = folders.size();
            const fs::path candidate = fs::path(folders.substr(start, end - start)) / name;
            if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
            start = end + 1;
        }
        return {};
    }

    pid_t pid_ = -1;
    std::string display_;
};

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// The width and height a PNG file declares; 0 x 0 for anything else.
std::pair<int, int> PngSize(const fs::path& file)
{
    const std::string data = ReadFileText(file);
    if (data.size() < 24 || data.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
    auto number = [&](std::size_t at) {
        int value = 0;
        for (std::size_t i = at; i < at + 4; ++i)
            value = value * 256 + static_cast<unsigned char>(data[i]);
        return value;
    };
    return {number(16), number(20)};
}

class GuiHost : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new TXServer; }
    static void TearDownTestSuite()
    {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override
    {
        if (server_->Display().empty()) GTEST_SKIP() << "no Xvfb to show windows on";
    }

    static TRunResult RunGui(const fs::path& profile, const std::vector<std::string>& args)
    {
        std::vector<std::string> all{"--profile", profile.string(), "--plugins", PluginFolder().string()};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(PluginFolder() / "hamhost-gui", all, {},
                          {"DISPLAY=" + server_->Display(), "QT_QPA_PLATFORM=xcb",
                           "HKCU_REGISTRY_FILE=" + (profile / "hkcu.reg").string(),
                           "XDG_RUNTIME_DIR=", "QT_SCALE_FACTOR=1",
                           // No desktop session here: no message bus for Qt to look for.
                           "DBUS_SESSION_BUS_ADDRESS=disabled:"});
    }

    // Keeps a picture for the documentation when asked to.
    static void Keep(const fs::path& picture, const std::string& name)
    {
        if (const char* dir = std::getenv("HAM_SCREENSHOT_DIR"); dir && *dir)
            fs::copy_file(picture, fs::path(dir) / name, fs::copy_options::overwrite_existing);
    }

    static TXServer* server_;
};

TXServer* GuiHost::server_ = nullptr;

struct TDialogCase {
    const char* Plugin;
    const char* Command;
    const char* Caption;
    int Width, Height;
};

TEST_F(GuiHost, EachDialogOpensAsAWindowOwnedByTheHostWithItsCaptionAndClientSize)
{
    TTempDir dir("gui-dialogs");
    const fs::path profile = dir / "demo";
    ASSERT_EQ(RunHamhost(profile, {"init", "--demo"}).ExitCode, 0);
    WriteFileText(dir / "close.actions", "close\n");
    const TDialogCase cases[] = {
        {"CallbookImport", "Import Zemrak updates into Callbook", "Import Zemrak updates into Callbook", 394, 350},
        {"CallbookExport", "Export Callbook as Zemrak updates", "Export Callbook as Zemrak updates", 394, 380},
        {"LogAppend", "Append Zemrak log data into current log", "Append Zemrak log data into current log", 394, 280},
        {"CallbookStore", "Store Callbook to Zemrak log", "Store Callbook into Zemrak log", 394, 250},
    };
    // The commands sit in menus by the kind their plug-in reports.
    const TRunResult menus =
        RunGui(profile, {"run", "Store Callbook to Zemrak log", "--actions", (dir / "close.actions").string()});
    for (const char* line :
         {"Menu: Import > Import Zemrak updates into Callbook\n", "Menu: Export > Export Callbook as Zemrak updates\n",
          "Menu: Export > Store Callbook to Zemrak log\n", "Menu: Logbook > Append Zemrak log data into current log\n"})
        EXPECT_TRUE(Contains(menus.Out, line)) << menus.Out;
    for (const TDialogCase& c : cases) {
        SCOPED_TRACE(c.Plugin);
        const fs::path picture = dir / (std::string(c.Plugin) + ".png");
        const TRunResult run = RunGui(profile, {"run", c.Command, "--actions", (dir / "close.actions").string(),
                                                "--screenshot", picture.string()});
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
        EXPECT_TRUE(Contains(run.Out, std::string("Dialog: ") + c.Caption + "\n")) << run.Out;
        const std::string size = std::to_string(c.Width) + "x" + std::to_string(c.Height);
        EXPECT_TRUE(Contains(run.Out, "Client size: " + size + "\n")) << run.Out;
        // Owned by the main window, which waits while the dialog is up.
        EXPECT_TRUE(Contains(run.Out, "Owner: main window, disabled\n")) << run.Out;
        // Centred on it; without a window manager Qt keeps room for a title bar
        // and borders it cannot measure (up to 10 pixels across, 40 down).
        int dx = 999, dy = 999;
        const std::size_t at = run.Out.find("Centre offset: ");
        ASSERT_NE(at, std::string::npos) << run.Out;
        ASSERT_EQ(std::sscanf(run.Out.c_str() + at, "Centre offset: %d,%d", &dx, &dy), 2);
        EXPECT_LE(std::abs(dx), 10) << run.Out;
        EXPECT_LE(std::abs(dy), 40) << run.Out;
        // No message box came up: the demo logger is installed.
        EXPECT_FALSE(Contains(run.Err, "Fatal error")) << run.Err;
        ASSERT_TRUE(fs::exists(picture));
        EXPECT_EQ(PngSize(picture), std::make_pair(c.Width, c.Height));
        Keep(picture, std::string(c.Plugin) + ".png");
    }
}

TEST_F(GuiHost, UnknownCommandAndMissingProfileAreClearErrors)
{
    TTempDir dir("gui-errors");
    const TRunResult missing = RunGui(dir / "missing", {"run", "Store Callbook to Zemrak log"});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_TRUE(Contains(missing.Err, "hamhost init")) << missing.Err;
    ASSERT_EQ(RunHamhost(dir / "plain", {"init"}).ExitCode, 0);
    const TRunResult unknown = RunGui(dir / "plain", {"run", "No such command"});
    EXPECT_EQ(unknown.ExitCode, 2);
    EXPECT_TRUE(Contains(unknown.Err, "No menu command \"No such command\"")) << unknown.Err;
}

// A run that refuses a record says where its error file is, and the File
// menu can open it.
TEST_F(GuiHost, ARunWithRefusedRecordsNamesItsErrorFile)
{
    TTempDir dir("gui-errors");
    const fs::path profile = dir / "demo";
    ASSERT_EQ(RunHamhost(profile, {"init", "--demo"}).ExitCode, 0);
    // A station with nothing but its callsign has nothing to store.
    ASSERT_EQ(RunHamhost(profile, {"sql", "INSERT INTO CALLBOOK(OMCALL) VALUES('Q9ZZZ')"}).ExitCode, 0);
    const TRunResult run = RunGui(
        profile, {"run", "Store Callbook to Zemrak log", "--actions", HAM_SOURCE_DIR "/demo/CallbookStore.actions"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    const fs::path errors = profile / "download" / "CallbookStore.err";
    EXPECT_TRUE(Contains(ReadFileText(errors), "Q9ZZZ"));
    EXPECT_TRUE(Contains(run.Out, "Error file: file://" + errors.string() + "\n")) << run.Out;
}

TEST_F(GuiHost, ImportThroughTheGraphicalDialogFillsTheCallbookTable)
{
    TTempDir dir("gui-import");
    // A package written by the export of the demo profile ...
    const fs::path demo = dir / "demo";
    ASSERT_EQ(RunHamhost(demo, {"init", "--demo"}).ExitCode, 0);
    const TRunResult exported = RunHamhost(
        demo, {"run", "Export Callbook as Zemrak updates", "--actions", HAM_SOURCE_DIR "/demo/CallbookExport.actions"});
    ASSERT_EQ(exported.ExitCode, 0) << exported.Err;
    ASSERT_TRUE(fs::exists(demo / "download" / "DB.zip")) << exported.Out << exported.Err;
    // ... imported into an empty profile through the window.
    const fs::path profile = dir / "empty";
    ASSERT_EQ(RunHamhost(profile, {"init"}).ExitCode, 0);
    fs::copy_file(demo / "download" / "DB.zip", profile / "download" / "DB.zip");
    const fs::path picture = dir / "CallbookImport-run.png";
    const fs::path window = dir / "hamhost-gui.png";
    const TRunResult run = RunGui(profile, {"run", "Import Zemrak updates into Callbook", "--actions",
                                            HAM_SOURCE_DIR "/demo/CallbookImport.actions", "--final-screenshot",
                                            picture.string(), "--window-screenshot", window.string()});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    // The progress memo and bar as the window showed them when it closed.
    EXPECT_TRUE(Contains(run.Out, "Memo: * Done. Ins:")) << run.Out;
    EXPECT_FALSE(Contains(run.Out, "Memo: * Done. Ins:0,")) << run.Out;
    // The run ends by resetting the bar after it reached the end.
    EXPECT_TRUE(Contains(run.Out, "Progress: 0 (highest 100)\n")) << run.Out;
    // REFRESH reloaded the callbook table, which now lists every station.
    EXPECT_TRUE(Contains(run.Out, "Refreshes: 1\n")) << run.Out;
    const TRunResult count = RunHamhost(profile, {"sql", "SELECT COUNT(*) AS N FROM CALLBOOK"});
    const std::vector<std::string> lines = SplitLines(count.Out);
    ASSERT_EQ(lines.size(), 2u) << count.Out << count.Err;
    EXPECT_NE(lines[1], "0");
    EXPECT_TRUE(Contains(run.Out, "Callbook rows: " + lines[1] + "\n")) << run.Out;
    EXPECT_EQ(PngSize(picture), std::make_pair(394, 350));
    Keep(picture, "CallbookImport-run.png");
    EXPECT_EQ(PngSize(window), std::make_pair(900, 600));
    Keep(window, "hamhost-gui.png");
}

} // namespace

// Manners that need no display.
TEST(GuiHostCommandLine, HelpVersionAndNoDisplay)
{
    const fs::path gui = PluginFolder() / "hamhost-gui";
    for (const char* flag : {"--help", "-h"}) {
        auto help = RunProgram(gui, {flag});
        EXPECT_EQ(help.ExitCode, 0) << flag;
        EXPECT_NE(help.Out.find("usage: hamhost-gui"), std::string::npos) << help.Out;
    }
    auto version = RunProgram(gui, {"--version"});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Out.rfind("hamhost-gui ", 0), 0u) << version.Out;
    EXPECT_EQ(RunProgram(gui, {"--bogus"}).ExitCode, 2);

    // Without a display: a clear message and the ways out, not Qt's abort.
    TTempDir dir("gui-nodisplay");
    auto none = RunProgram(gui, {"--profile", (dir / "profile").string()}, {},
                           {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="});
    EXPECT_EQ(none.ExitCode, 1);
    for (const char* piece : {"no display", "xvfb-run", "QT_QPA_PLATFORM=offscreen", "hamhost"})
        EXPECT_NE(none.Err.find(piece), std::string::npos) << piece << "\n" << none.Err;
}
