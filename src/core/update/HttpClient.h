#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>

namespace trelvo {

// Any failure of a request: no connection, a time-out, a status other than
// 2xx, a body over the limit.
struct HttpError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The few HTTP operations the update check needs. Every failure throws
// HttpError, which the check catches step by step.
class HttpClient {
public:
    virtual ~HttpClient() = default;

    // "host" or "host:port".
    virtual void setHost(const std::string& host) = 0;
    virtual void connect() = 0;
    // The body of path; throws when it would be longer than limit bytes.
    virtual std::string get(const std::string& path, std::size_t limit) = 0;
    virtual void head(const std::string& path) = 0;
    virtual void disconnect() = 0;
};

// The client over libcurl: HTTP/1.0, 5 s to connect, 30 s for a transfer.
std::unique_ptr<HttpClient> makeHttpClient();
// The same with other time-outs, so that a test of a stalling server is short.
std::unique_ptr<HttpClient> makeHttpClient(int connectSeconds, int transferSeconds);

}  // namespace trelvo
