// The host-query guard against the real host, in process: which calls reach
// the host, in which order, on each way out.
#include "PluginAPI/Plugins/ServerQuery.h"
#include "Host/Host.h"
#include "tests/Support/TestHost.h"

#include <gtest/gtest.h>

namespace {

using TClose = TServerQuery::TCloseOnRelease;

class ServerQueryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host_.Options.Messages = nullptr;
        host_.Options.Trace = [this](const std::string& call) {
            if (call.rfind("IHostServer.", 0) == 0) calls_.push_back(call.substr(12));
        };
        server_ = ComPtr<IHostServer>::Query(host_.Start("X.ext"), IID_IHostServer);
        ASSERT_TRUE(server_);
    }

    std::vector<std::string> calls_;
    TTestHost host_{"serverquery"};
    ComPtr<IHostServer> server_;
};

TEST_F(ServerQueryTest, TheDestructorClosesAsChosenThenFrees)
{
    using TCalls = std::vector<std::string>;
    struct TCase {
        TClose Close;
        bool Open;
        TCalls Calls;
    };
    const TCase cases[] = {
        {TClose::Never, true, {"CreateQuery", "OpenQuery", "FreeQuery"}},
        {TClose::Always, false, {"CreateQuery", "CloseQuery", "FreeQuery"}},
        {TClose::Always, true, {"CreateQuery", "OpenQuery", "CloseQuery", "FreeQuery"}},
        {TClose::WhenOpen, false, {"CreateQuery", "FreeQuery"}},
        {TClose::WhenOpen, true, {"CreateQuery", "OpenQuery", "CloseQuery", "FreeQuery"}},
    };
    for (const TCase& c : cases) {
        calls_.clear();
        {
            TServerQuery query(server_.Get(), c.Close);
            if (c.Open) query.Open("SELECT * FROM CALLBOOK");
        }
        EXPECT_EQ(calls_, c.Calls) << static_cast<int>(c.Close) << " open " << c.Open;
    }
}

TEST_F(ServerQueryTest, AnExplicitCloseAndFreeLeaveTheDestructorNothingToDo)
{
    {
        TServerQuery query(server_.Get(), TClose::WhenOpen);
        query.Open("SELECT * FROM CALLBOOK");
        query.Close();
        query.Free();
        EXPECT_TRUE(query.Freed());
    }
    EXPECT_EQ(calls_, (std::vector<std::string>{"CreateQuery", "OpenQuery", "CloseQuery", "FreeQuery"}));
}

TEST_F(ServerQueryTest, CheckedCloseAndFreeReportFailuresTheDestructorSwallows)
{
    TServerQuery query(server_.Get(), TClose::Always);
    ASSERT_EQ(server_->FreeQuery(query.Handle()), S_OK); // behind the guard's back
    EXPECT_ANY_THROW(query.Close());
    EXPECT_ANY_THROW(query.Free());
    EXPECT_TRUE(query.Freed());
    // A failed Open leaves nothing for WhenOpen to close.
    calls_.clear();
    {
        TServerQuery broken(server_.Get(), TClose::WhenOpen);
        EXPECT_ANY_THROW(broken.Open("SELECT * FROM NO_SUCH_TABLE"));
    }
    EXPECT_EQ(calls_, (std::vector<std::string>{"CreateQuery", "OpenQuery", "FreeQuery"}));
}

} // namespace
