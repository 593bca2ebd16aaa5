#include "Platform/Http/Http.h"

#include "Platform/SysUtils/SysUtils.h"

#include <curl/curl.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string_view>

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& s)
{
    return "\"" + s + "\"";
}

void GlobalInit()
{
    static std::once_flag once;
    static CURLcode result = CURLE_OK;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (result != CURLE_OK)
        throw Exception(std::string("Cannot initialise the HTTP client: ") + curl_easy_strerror(result));
}

struct TTransfer {
    int fd = -1;
    std::string target;
    std::uint64_t written = 0;
    std::uint64_t limit = 0;
    bool tooLarge = false;
    int writeErrno = 0;
    const THttpOptions* options = nullptr;
    bool cancelled = false;
    std::exception_ptr callbackError;
};

size_t OnWrite(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<TTransfer*>(user);
    std::size_t n = size * count;
    if (t->written + n > t->limit) {
        t->tooLarge = true;
        return 0;
    }
    const char* p = data;
    std::size_t left = n;
    while (left > 0) {
        ssize_t w = ::write(t->fd, p, left);
        if (w < 0) {
            if (errno == EINTR) continue;
            t->writeErrno = errno;
            return 0;
        }
        p += w;
        left -= static_cast<std::size_t>(w);
    }
    t->written += n;
    return n;
}

int OnProgress(void* user, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t)
{
    auto* t = static_cast<TTransfer*>(user);
    if (!t->options->OnProgress) return 0;
    try {
        std::optional<std::uint64_t> total;
        if (dltotal > 0) total = static_cast<std::uint64_t>(dltotal);
        if (!t->options->OnProgress(static_cast<std::uint64_t>(dlnow), total)) {
            t->cancelled = true;
            return 1;
        }
    } catch (...) {
        t->callbackError = std::current_exception();
        return 1;
    }
    return 0;
}

struct TCurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

// Removes the temporary body file unless it was handed over.
struct TTempBody {
    std::string path;
    int fd = -1;
    ~TTempBody()
    {
        if (fd >= 0) ::close(fd);
        if (!path.empty()) ::unlink(path.c_str());
    }
};

} // namespace

bool HttpsAvailable()
{
    GlobalInit();
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    if (!info || !(info->features & CURL_VERSION_SSL) || !info->protocols) return false;
    for (const char* const* p = info->protocols; *p; ++p)
        if (std::string_view(*p) == "https") return true;
    return false;
}

THttpResponse HttpGetToFile(const std::string& url, const std::string& targetPath, const THttpOptions& options)
{
    GlobalInit();
    std::unique_ptr<CURL, TCurlDeleter> curl(curl_easy_init());
    if (!curl) throw Exception("Cannot initialise the HTTP client");

    fs::path target(targetPath);
    TTempBody body;
    body.path = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    if (target.parent_path().empty()) body.path = "." + target.filename().string() + ".XXXXXX";
    body.fd = ::mkostemp(body.path.data(), O_CLOEXEC);
    if (body.fd < 0) {
        body.path.clear();
        throw EFCreateError("Cannot create file " + Quoted(targetPath) + ". " + std::strerror(errno));
    }

    TTransfer transfer;
    transfer.fd = body.fd;
    transfer.target = targetPath;
    transfer.limit = options.MaxBodySize;
    transfer.options = &options;

    char errorBuffer[CURL_ERROR_SIZE] = {};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
#endif
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.ConnectTimeout.count()));
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(options.Timeout.count()));
    if (options.LowSpeedTime.count() > 0 && options.LowSpeedLimit > 0) {
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, options.LowSpeedLimit);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>(options.LowSpeedTime.count()));
    }
    if (options.MaxBodySize <= static_cast<std::uint64_t>(INT64_MAX))
        curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.MaxBodySize));
    if (!options.CaFile.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, options.CaFile.c_str());
    if (options.Proxy) curl_easy_setopt(c, CURLOPT_PROXY, options.Proxy->c_str());
    if (!options.UserAgent.empty()) curl_easy_setopt(c, CURLOPT_USERAGENT, options.UserAgent.c_str());
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnWrite);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, options.OnProgress ? 0L : 1L);

    CURLcode rc = curl_easy_perform(c);
    if (transfer.callbackError) std::rethrow_exception(transfer.callbackError);
    if (transfer.cancelled) throw EAbort("Download of " + url + " cancelled");
    if (transfer.tooLarge || rc == CURLE_FILESIZE_EXCEEDED)
        throw Exception("Cannot load " + url + ": the answer is larger than the limit of " +
                        std::to_string(options.MaxBodySize) + " bytes");
    if (transfer.writeErrno)
        throw EWriteError("Cannot write file " + Quoted(targetPath) + ": " + std::strerror(transfer.writeErrno));
    if (rc != CURLE_OK) {
        std::string detail = errorBuffer[0] ? errorBuffer : curl_easy_strerror(rc);
        throw Exception("Cannot load " + url + ": " + detail);
    }

    THttpResponse response;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &response.StatusCode);
    char* text = nullptr;
    if (curl_easy_getinfo(c, CURLINFO_REDIRECT_URL, &text) == CURLE_OK && text) response.Location = text;
    text = nullptr;
    if (curl_easy_getinfo(c, CURLINFO_CONTENT_TYPE, &text) == CURLE_OK && text) response.ContentType = text;
    response.BodySize = transfer.written;

    // Keep the mode of a file being replaced; a new one gets rw-r--r--.
    struct stat old;
    ::fchmod(body.fd, ::stat(targetPath.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    int fd = body.fd;
    body.fd = -1;
    int synced = ::fsync(fd);
    int closed = ::close(fd);
    if (synced != 0 || closed != 0)
        throw EWriteError("Cannot write file " + Quoted(targetPath) + ": " + std::strerror(errno));
    if (::rename(body.path.c_str(), targetPath.c_str()) != 0)
        throw EFCreateError("Cannot create file " + Quoted(targetPath) + ". " + std::strerror(errno));
    body.path.clear();
    return response;
}
