// One HTTP(S) GET of a URL into a file, over libcurl. Redirections are not
// followed: a 3xx answer comes back to the caller like any other status.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Largest body accepted unless told otherwise.
inline constexpr std::uint64_t DefaultMaxHttpBodySize = std::uint64_t{512} << 20; // 512 MiB

struct THttpOptions {
    // Time to establish the connection (TCP and TLS).
    std::chrono::milliseconds ConnectTimeout{std::chrono::seconds(30)};
    // Time for the whole transfer; zero means no limit.
    std::chrono::milliseconds Timeout{std::chrono::minutes(30)};
    // The transfer fails when slower than LowSpeedLimit bytes per second
    // for LowSpeedTime; a zero time turns the check off.
    long LowSpeedLimit = 100;
    std::chrono::seconds LowSpeedTime{60};
    // A longer body fails the transfer.
    std::uint64_t MaxBodySize = DefaultMaxHttpBodySize;
    // Certificate authorities to trust for HTTPS; empty for the system's.
    std::string CaFile;
    // Proxy to use: nothing for the environment's settings (http_proxy ...),
    // an empty text for a direct connection.
    std::optional<std::string> Proxy;
    std::string UserAgent = "hamhost";
    // Called as data arrives: bytes received so far and the total when the
    // server announced it. Returning false cancels the transfer (EAbort).
    std::function<bool(std::uint64_t received, std::optional<std::uint64_t> total)> OnProgress;
};

struct THttpResponse {
    long StatusCode = 0;        // as answered: 200, 302, 404 ...
    std::uint64_t BodySize = 0; // bytes written to the target file
    std::string Location;       // absolute target of a redirection, else empty
    std::string ContentType;
    bool IsSuccess() const noexcept { return StatusCode >= 200 && StatusCode < 300; }
    bool IsRedirect() const noexcept { return StatusCode >= 300 && StatusCode < 400; }
};

// Sends one GET for url (http or https only) and writes the answer's body,
// whatever its status, to targetPath. The body goes to a temporary file
// beside targetPath that replaces it only when the transfer is complete;
// after any failure targetPath is left as it was and nothing else remains.
// Throws Exception with libcurl's message for a network or protocol
// failure, a time-out or a body larger than MaxBodySize; EAbort when
// OnProgress cancels; EFCreateError / EWriteError when the file cannot be
// written.
THttpResponse HttpGetToFile(const std::string& url, const std::string& targetPath, const THttpOptions& options = {});

// Whether the linked libcurl can speak HTTPS.
bool HttpsAvailable();
