#include "tests/Support/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>
#include <stdexcept>

TLoopbackServer::TLoopbackServer(TServeFunction serve) : serve_(std::move(serve))
{
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listen_, 8) != 0) {
        ::close(listen_);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    socklen_t len = sizeof addr;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Run(); });
}

TLoopbackServer::~TLoopbackServer()
{
    ::shutdown(listen_, SHUT_RDWR); // wakes accept()
    thread_.join();
    ::close(listen_);
}

void TLoopbackServer::Serve(const std::string& path, const std::string& status, const std::string& body,
                            const std::string& headers)
{
    std::lock_guard lock(mutex_);
    answers_[path] = Answer(status, body, headers);
}

std::string TLoopbackServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> TLoopbackServer::Requests()
{
    std::lock_guard lock(mutex_);
    return requests_;
}

void TLoopbackServer::SendAll(int fd, const std::string& data)
{
    std::size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return; // the client went away
        sent += static_cast<std::size_t>(n);
    }
}

std::string TLoopbackServer::Answer(const std::string& status, const std::string& body, const std::string& headers,
                                    bool withLength)
{
    std::string head = "HTTP/1.1 " + status + "\r\n" + headers + "Connection: close\r\n";
    if (withLength) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return head + "\r\n" + body;
}

void TLoopbackServer::Run()
{
    for (;;) {
        int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;
        }
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        std::string path;
        std::istringstream(request) >> path >> path; // "GET /path HTTP/1.1"
        std::string answer;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(path);
            if (!serve_) {
                auto it = answers_.find(path);
                answer = it != answers_.end() ? it->second : Answer("500 Internal Server Error", "");
            }
        }
        if (serve_)
            serve_(fd, path);
        else
            SendAll(fd, answer);
        ::close(fd);
    }
}
