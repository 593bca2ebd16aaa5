#include "tests/Plugins/CallbookImport/ImportTestSupport.h"

#include "Includes/uZemrakDb/ZemrakSchema.h"
#include "Platform/Ado/Sqlite.h"
#include "Platform/DateTime/DateTime.h"
#include "Platform/Files/Files.h"
#include "Platform/Zip/Zip.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>

void WritePackageDatabase(const fs::path& path, const std::vector<TPackageRow>& rows)
{
    fs::remove(path);
    CreateReferenceDatabaseFile(path.string());
    TSqliteOptions options;
    TSqliteDatabase db(path.string(), options);
    db.Exec("BEGIN");
    TSqliteStatement insert(db, "INSERT INTO CALLBOOK(CALL, NAME, QTH, GRID, STATE, MANAGER, NOTE, CHECKED) "
                                "VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
    for (const TPackageRow& row : rows) {
        insert.Reset();
        insert.BindText(1, row.Call);
        int index = 2;
        for (const auto* value : {&row.Name, &row.Qth, &row.Grid, &row.State, &row.Manager, &row.Note}) {
            if (*value)
                insert.BindText(index, **value);
            else
                insert.BindNull(index);
            ++index;
        }
        insert.BindInt64(8, row.Checked.value_or(false) ? 1 : 0); // the logger's column takes no NULL
        insert.Step();
    }
    db.Exec("COMMIT");
}

void WriteZip(const fs::path& zipPath, const std::string& entryName, const std::string& content, int year,
              int month, int day, int hour, int minute)
{
    const fs::path folder = zipPath.parent_path() / (zipPath.filename().string() + ".parts");
    fs::create_directories(folder);
    const fs::path file = folder / entryName;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
    FileSetDateOrThrow(file.string(), EncodeDateTime(TDateParts{year, month, day, hour, minute, 0, 0}));
    fs::remove(zipPath);
    CreateZipArchive(zipPath.string(), {file.string()});
    fs::remove_all(folder);
}

void WritePackage(const fs::path& zipPath, const std::vector<TPackageRow>& rows)
{
    const fs::path database = zipPath.parent_path() / (zipPath.filename().string() + ".mdb");
    WritePackageDatabase(database, rows);
    WriteZip(zipPath, "DB.mdb", ReadBinary(database));
    fs::remove(database);
}

std::string ReadBinary(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Listing(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

void SendAll(int fd, const std::string& data)
{
    std::size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return; // the client went away
        sent += static_cast<std::size_t>(n);
    }
}

} // namespace

TLoopbackServer::TLoopbackServer()
{
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listen_, 8) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
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
    answers_[path] = "HTTP/1.1 " + status + "\r\n" + headers + "Connection: close\r\nContent-Length: " +
                     std::to_string(body.size()) + "\r\n\r\n" + body;
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
            auto it = answers_.find(path);
            answer = it != answers_.end() ? it->second
                                          : "HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\n"
                                            "Content-Length: 0\r\n\r\n";
        }
        SendAll(fd, answer);
        ::close(fd);
    }
}
