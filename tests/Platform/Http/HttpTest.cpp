#include "Platform/Http/Http.h"

#include "Platform/SysUtils/SysUtils.h"
#include "tests/Support/LoopbackServer.h"
#include "tests/Support/LoopbackTlsServer.h"
#include "tests/Support/TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string ZipBody = std::string("PK\3\4", 4) + std::string(100000, 'z');
const std::string BigBody = std::string(2 << 20, 'b');

// Canned answers and misbehaviours by path.
void ServeTestPaths(int fd, const std::string& path)
{
    auto send = [fd](const std::string& data) { TLoopbackServer::SendAll(fd, data); };
    auto answer = [](auto&&... args) { return TLoopbackServer::Answer(args...); };
    if (path == "/ok") {
        send(answer("200 OK", ZipBody, "Content-Type: application/zip\r\n", true));
    } else if (path == "/redirect") {
        send(answer("302 Found", "moved", "Location: /ok\r\n", true));
    } else if (path == "/missing") {
        send(answer("404 Not Found", "<html>not found</html>", "Content-Type: text/html\r\n", true));
    } else if (path == "/big") {
        send(answer("200 OK", BigBody, "", true));
    } else if (path == "/big-unannounced") {
        send(answer("200 OK", BigBody, "", false));
    } else if (path == "/cut") {
        std::string full = answer("200 OK", std::string(1000, 'c'), "", true);
        send(full.substr(0, full.size() - 500));
    } else if (path == "/stall") {
        // Say nothing until the client gives up.
        char c;
        while (::recv(fd, &c, 1, 0) > 0) {
        }
    } else {
        send(answer("500 Internal Server Error", "unknown path", "", true));
    }
}

class HttpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        options_.Proxy = ""; // straight to the loopback server, whatever the environment says
    }

    std::string Path(const std::string& name) const { return dir_.File(name); }
    static void WriteFile(const std::string& path, const std::string& content)
    {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    }
    static std::string ReadFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::set<std::string> Listing() const { return dir_.Names(); }

    TTempDir dir_{"httptest"};
    THttpOptions options_;
};

TEST_F(HttpTest, AnswersAreWrittenWhateverTheirStatus)
{
    TLoopbackServer server(ServeTestPaths);
    struct Case {
        std::string path;
        long status;
        std::string body;
        std::string location;
        std::string contentType;
    } cases[] = {
        {"/ok", 200, ZipBody, "", "application/zip"},
        {"/redirect", 302, "moved", server.Url("/ok"), ""},
        {"/missing", 404, "<html>not found</html>", "", "text/html"},
    };
    for (const auto& c : cases) {
        std::string target = Path("~Ar0001.tmp");
        WriteFile(target, ""); // the caller's empty temporary file
        THttpResponse r = HttpGetToFile(server.Url(c.path), target, options_);
        EXPECT_EQ(r.StatusCode, c.status) << c.path;
        EXPECT_EQ(r.BodySize, c.body.size()) << c.path;
        EXPECT_EQ(ReadFile(target), c.body) << c.path;
        EXPECT_EQ(r.Location, c.location) << c.path;
        EXPECT_EQ(r.ContentType, c.contentType) << c.path;
        EXPECT_EQ(r.IsSuccess(), c.status == 200) << c.path;
        EXPECT_EQ(r.IsRedirect(), c.status == 302) << c.path;
        EXPECT_EQ(Listing(), std::set<std::string>{"~Ar0001.tmp"}) << c.path;
    }
    // The redirection was reported, not followed.
    EXPECT_EQ(server.Requests(), (std::vector<std::string>{"/ok", "/redirect", "/missing"}));
}

TEST_F(HttpTest, FailuresLeaveTheTargetAsItWas)
{
    TLoopbackServer server(ServeTestPaths);
    // A port nobody listens on: bound but not listening, so it stays ours.
    int idle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(idle, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    ::getsockname(idle, reinterpret_cast<sockaddr*>(&addr), &len);
    std::string refused = "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/";

    THttpOptions small = options_;
    small.MaxBodySize = 10000;
    THttpOptions impatient = options_;
    impatient.Timeout = std::chrono::milliseconds(300);

    struct Case {
        std::string url;
        const THttpOptions* options;
        std::string expected;
    } cases[] = {
        {server.Url("/big"), &small, "larger than the limit of 10000 bytes"},
        {server.Url("/big-unannounced"), &small, "larger than the limit of 10000 bytes"},
        {server.Url("/cut"), &options_, "500 bytes remaining"},
        {server.Url("/stall"), &impatient, "imed out"},
        {refused, &options_, "Couldn't connect"},
        {"ftp://127.0.0.1/x", &options_, "not supported"},
        {"file:///etc/passwd", &options_, "not supported"},
        {"not a url", &options_, "not a url"},
    };
    std::string target = Path("target");
    for (const auto& c : cases) {
        WriteFile(target, "previous");
        std::string m = ThrownMessage<Exception>([&] { HttpGetToFile(c.url, target, *c.options); });
        EXPECT_NE(m.find(c.expected), std::string::npos) << c.url << ": " << m;
        EXPECT_NE(m.find(c.url), std::string::npos) << m;
        EXPECT_EQ(ReadFile(target), "previous") << c.url;
        EXPECT_EQ(Listing(), std::set<std::string>{"target"}) << c.url;
    }
    ::close(idle);

    // Nowhere to write.
    EXPECT_THROW(HttpGetToFile(server.Url("/ok"), Path("no/such/folder/x"), options_), EFCreateError);
}

TEST_F(HttpTest, ProgressIsReportedAndCanCancel)
{
    TLoopbackServer server(ServeTestPaths);
    std::vector<std::pair<std::uint64_t, std::optional<std::uint64_t>>> calls;
    THttpOptions watched = options_;
    watched.OnProgress = [&](std::uint64_t received, std::optional<std::uint64_t> total) {
        calls.emplace_back(received, total);
        return true;
    };
    std::string target = Path("body");
    THttpResponse r = HttpGetToFile(server.Url("/big"), target, watched);
    ASSERT_EQ(r.BodySize, BigBody.size());
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().first, BigBody.size());
    EXPECT_EQ(calls.back().second, BigBody.size());
    for (std::size_t i = 1; i < calls.size(); ++i)
        EXPECT_LE(calls[i - 1].first, calls[i].first);

    THttpOptions cancelling = options_;
    cancelling.OnProgress = [](std::uint64_t received, std::optional<std::uint64_t>) { return received == 0; };
    WriteFile(target, "previous");
    EXPECT_THROW(HttpGetToFile(server.Url("/big"), target, cancelling), EAbort);
    EXPECT_EQ(ReadFile(target), "previous");

    // An exception from the callback comes back as itself.
    THttpOptions throwing = options_;
    throwing.OnProgress = [](std::uint64_t, std::optional<std::uint64_t>) -> bool {
        throw EConvertError("from the callback");
    };
    EXPECT_THROW(HttpGetToFile(server.Url("/ok"), target, throwing), EConvertError);
    EXPECT_EQ(Listing(), std::set<std::string>{"body"});
}

TEST_F(HttpTest, HttpsIsAvailable)
{
    // The build links an OpenSSL libcurl.
    EXPECT_TRUE(HttpsAvailable());
}

// A TLS server on 127.0.0.1 with a certificate made for the test: the
// download fails without trusting it and succeeds with it as CA file.
TEST_F(HttpTest, HttpsWithSelfSignedCertificate)
{
    if (auto why = TLoopbackTlsServer::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    TLoopbackTlsServer server(dir_.Path(), std::string("PK\3\4secure", 10));
    std::string url = server.Url("/DB.zip");

    std::string target = Path("secure");
    std::string m = ThrownMessage<Exception>([&] { HttpGetToFile(url, target, options_); });
    EXPECT_NE(m.find("certificate"), std::string::npos) << m;
    EXPECT_FALSE(fs::exists(target));

    THttpOptions trusting = options_;
    trusting.CaFile = server.CertFile();
    THttpResponse r = HttpGetToFile(url, target, trusting);
    EXPECT_EQ(r.StatusCode, 200);
    EXPECT_EQ(ReadFile(target), std::string("PK\3\4secure", 10));
}

} // namespace
