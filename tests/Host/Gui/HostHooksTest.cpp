// The hooks a graphical host hangs on the host core: log lines, commands,
// modal brackets and messages reach it as the plug-ins cause them.
#include "Host/Host.h"
#include "Platform/OleAuto/ComPtr.h"
#include "Platform/OleAuto/OleAuto.h"
#include "tests/Support/TestHost.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

TEST(HostHooks, LogCommandModalAndMessageReachTheGraphicalHost)
{
    std::vector<std::string> seen;
    TTestHost test("host-hooks");
    THostOptions& options = test.Options;
    options.PluginDir.clear();
    options.OnLog = [&](const std::string& line) { seen.push_back("log " + line.substr(line.find('\t') + 1)); };
    options.OnCommand = [&](const std::string& name, const std::string& parameter) {
        seen.push_back("command " + name + " " + parameter);
    };
    options.OnModal = [&](bool begin) { seen.push_back(begin ? "begin" : "end"); };
    options.OnMessage = [&](const std::string& caption, const std::string& text) {
        seen.push_back("message " + caption + ": " + text);
    };
    {
        ICore* core = test.Start("X.ext");
        auto kernel = ComPtr<IHostKernel>::Query(core, IID_IHostKernel);
        auto windows = ComPtr<IApplicationWindows>::Query(core, IID_IApplicationWindows);
        ASSERT_TRUE(kernel && windows);
        EXPECT_EQ(windows->BeginModal(), S_OK);
        EXPECT_EQ(kernel->WriteLog(WideString("Connect updates: /x").c_bstr()), S_OK);
        EXPECT_EQ(kernel->ExecuteCommand(WideString("REFRESH").c_bstr(), WideString("0").c_bstr()), S_OK);
        std::int32_t pressed = 0;
        EXPECT_EQ(kernel->MessageBox(WideString("text").c_bstr(), WideString("Caption").c_bstr(), 1, 4, &pressed),
                  S_OK);
        EXPECT_EQ(windows->EndModal(), S_OK);
    }
    test.Stop();
    const std::vector<std::string> expected{
        "begin", "log Connect updates: /x", "log Command: REFRESH 0", "command REFRESH 0", "message Caption: text",
        "end"};
    EXPECT_EQ(seen, expected);
    // The message went to the hook instead of the stream; the log file has both lines.
    EXPECT_EQ(test.Messages.str(), "");
    std::ifstream log(test.Profile() / "host.log");
    std::string all((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(all.find("\tConnect updates: /x\n"), std::string::npos);
    EXPECT_NE(all.find("\tCommand: REFRESH 0\n"), std::string::npos);
}
