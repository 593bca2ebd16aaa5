#include "tests/Support/LoopbackTlsServer.h"

#include "tests/Support/TestSupport.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

constexpr const char* ServerScript = R"(import socket, ssl, sys
ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
ctx.load_cert_chain(sys.argv[1], sys.argv[2])
body = open(sys.argv[3], 'rb').read()
srv = socket.socket()
srv.bind(('127.0.0.1', 0))
srv.listen(4)
srv.settimeout(60)  # only reached when the test went wrong
print(srv.getsockname()[1], flush=True)
for _ in range(2):
    try:
        conn, _ = srv.accept()
    except OSError:
        break
    try:
        with ctx.wrap_socket(conn, server_side=True) as s:
            data = b''
            while b'\r\n\r\n' not in data:
                chunk = s.recv(4096)
                if not chunk:
                    break
                data += chunk
            s.sendall(b'HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: %d\r\n\r\n' % len(body) + body)
    except OSError:
        conn.close()
)";

} // namespace

std::string TLoopbackTlsServer::Unavailable()
{
    if (std::system("command -v openssl >/dev/null 2>&1") != 0) return "openssl not installed";
    if (std::system("python3 -c 'import ssl' >/dev/null 2>&1") != 0) return "python3 with ssl not installed";
    return {};
}

TLoopbackTlsServer::TLoopbackTlsServer(const std::filesystem::path& folder, const std::string& body)
{
    std::filesystem::create_directories(folder);
    cert_ = (folder / "cert.pem").string();
    const std::string key = (folder / "key.pem").string();
    const std::string script = (folder / "server.py").string();
    const std::string bodyFile = (folder / "body.bin").string();
    if (std::system(("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
                     "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout '" +
                     key + "' -out '" + cert_ + "' >/dev/null 2>&1")
                        .c_str()) != 0)
        throw std::runtime_error("openssl could not make a test certificate");
    WriteFileText(script, ServerScript);
    WriteFileText(bodyFile, body);
    process_ = popen(("python3 '" + script + "' '" + cert_ + "' '" + key + "' '" + bodyFile + "'").c_str(), "r");
    if (!process_) throw std::runtime_error("cannot start the TLS test server");
    char line[64] = {};
    if (!std::fgets(line, sizeof line, process_)) {
        pclose(process_);
        throw std::runtime_error("the TLS test server did not start");
    }
    port_.assign(line, std::strcspn(line, "\n"));
}

TLoopbackTlsServer::~TLoopbackTlsServer()
{
    if (process_) pclose(process_);
}

std::string TLoopbackTlsServer::Url(const std::string& path) const
{
    return "https://127.0.0.1:" + port_ + path;
}
