// An HTTP server for tests on 127.0.0.1 with an ephemeral port, one
// connection at a time. Answers come from canned answers by path, or from a
// serve function given at construction.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TLoopbackServer {
public:
    // Writes the whole answer for path to the connection fd.
    using TServeFunction = std::function<void(int fd, const std::string& path)>;

    explicit TLoopbackServer(TServeFunction serve = {});
    ~TLoopbackServer();
    TLoopbackServer(const TLoopbackServer&) = delete;
    TLoopbackServer& operator=(const TLoopbackServer&) = delete;

    // A canned answer: status like "200 OK"; headers each ending in CR LF.
    void Serve(const std::string& path, const std::string& status, const std::string& body,
               const std::string& headers = {});
    std::string Url(const std::string& path) const;
    // Paths requested so far.
    std::vector<std::string> Requests();

    static void SendAll(int fd, const std::string& data);
    static std::string Answer(const std::string& status, const std::string& body, const std::string& headers = {},
                              bool withLength = true);

private:
    void Run();

    TServeFunction serve_;
    int listen_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::map<std::string, std::string> answers_;
    std::vector<std::string> requests_;
};
