// An HTTPS server for tests on 127.0.0.1: a certificate made for the test
// (openssl) and a small TLS server (python3) that answers two requests with
// one body.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

class TLoopbackTlsServer {
public:
    // Why no such server can run here; empty when it can.
    static std::string Unavailable();

    // Certificate, key and script go into folder.
    TLoopbackTlsServer(const std::filesystem::path& folder, const std::string& body);
    ~TLoopbackTlsServer();
    TLoopbackTlsServer(const TLoopbackTlsServer&) = delete;
    TLoopbackTlsServer& operator=(const TLoopbackTlsServer&) = delete;

    std::string Url(const std::string& path) const;
    // The certificate, to be trusted as a CA file.
    const std::string& CertFile() const { return cert_; }

private:
    std::string cert_;
    std::string port_;
    FILE* process_ = nullptr;
};
