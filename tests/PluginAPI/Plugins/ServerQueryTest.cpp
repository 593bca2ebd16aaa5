// The host-query guard against the real host, in process: which calls reach
// the host, in which order, on each way out.
#include "Host/Host.h"
#include "PluginAPI/Plugins/ServerQuery.h"
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using TClose = TServerQuery::TCloseOnRelease;

class ServerQueryTest : public ::testing::Test {
protected:
    ServerQueryTest() : dir_("serverquery") {}
    void SetUp() override
    {
        THost::InitProfile(dir_.Path());
        THostOptions o;
        o.Profile = dir_.Path();
        o.PluginDir = dir_.Path();
        o.Trace = [this](const std::string& call) {
            if (call.rfind("IHostServer.", 0) == 0) calls_.push_back(call.substr(12));
        };
        host_ = std::make_unique<THost>(o);
        server_ = ComPtr<IHostServer>::Query(host_->AttachCore("X.ext"), IID_IHostServer);
        ASSERT_TRUE(server_);
    }

    TTempDir dir_;
    std::unique_ptr<THost> host_;
    ComPtr<IHostServer> server_;
    std::vector<std::string> calls_;
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
