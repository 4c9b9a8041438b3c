#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>

namespace trelvo {

// Any failure of a request: no connection, a stalled transfer, a status other
// than 2xx, a body over the limit.
struct HttpError : std::runtime_error {
    explicit HttpError(const std::string& what, bool secureChannel = false)
        : std::runtime_error(what), secureChannel(secureChannel) {}

    // HTTPS failed on its own terms: the server's certificate was not
    // trusted or did not name the host, or no secure channel came about.
    // Unlike a host that does not answer, this may be someone in between.
    bool secureChannel = false;
};

enum class HttpScheme { http, https };

// The few HTTP operations the update check needs. Every failure throws
// HttpError, which the check catches step by step.
class HttpClient {
public:
    virtual ~HttpClient() = default;

    // "host" or "host:port", reached over scheme.
    virtual void setHost(const std::string& host, HttpScheme scheme) = 0;
    virtual void connect() = 0;
    // The body of path; throws when it would be longer than limit bytes.
    virtual std::string get(const std::string& path, std::size_t limit) = 0;
    virtual void head(const std::string& path) = 0;
    virtual void disconnect() = 0;
    // From any thread: the request under way fails soon (within about a
    // second), and so does every later one; for a check nobody waits for any
    // more, such as one whose window has closed.
    virtual void cancel() = 0;
};

// How long a request may wait. A transfer has no limit on its whole length,
// so a large edition on a slow line still arrives; it ends only when it has
// stalled: under stallBytesPerSecond for stallSeconds on end, which also
// covers a server that takes the request and never answers.
struct HttpLimits {
    int connectSeconds = 5;
    long stallBytesPerSecond = 1024;
    int stallSeconds = 30;
};

// The client over libcurl, speaking HTTP/1.0; tests shorten the limits.
// HTTPS verifies the server's certificate and host name against the system's
// certificate store, or against the CA bundle named by the environment
// variable caFileVariable when it is set and not empty (read here, once).
std::unique_ptr<HttpClient> makeHttpClient(const HttpLimits& limits = {});

inline constexpr const char* caFileVariable = "TRELVO_CA_FILE";

}  // namespace trelvo
