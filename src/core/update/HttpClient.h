#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>

namespace trelvo {

// Any failure of a request: no connection, a stalled transfer, a status other
// than 2xx, a body over the limit.
struct HttpError : std::runtime_error {
    explicit HttpError(const std::string& what, bool secureChannel = false, long status = 0)
        : std::runtime_error(what), secureChannel(secureChannel), status(status) {}

    // HTTPS failed on its own terms: the server's certificate was not
    // trusted or did not name the host, or no secure channel came about.
    // Unlike a host that does not answer, this may be someone in between.
    bool secureChannel = false;
    // The status the server answered with, 0 when it gave none: only a 404
    // says that a file is not there, rather than that it did not come.
    long status = 0;
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

// How long a request may wait. A transfer ends when it has stalled: under
// stallBytesPerSecond for stallSeconds on end, which also covers a server
// that takes the request and never answers. A server that drips just above
// that would still hold a request for days, so each request also has an
// overall limit in proportion to the size it may have: the time its largest
// body takes at averageBytesPerSecond, after connectSeconds and stallSeconds.
struct HttpLimits {
    int connectSeconds = 5;
    long stallBytesPerSecond = 1024;
    int stallSeconds = 30;
    long averageBytesPerSecond = 64 * 1024;  // 256 MiB: 68 minutes

    // The seconds a request for a body of at most limit bytes may take.
    long overallSeconds(std::size_t limit) const {
        return connectSeconds + stallSeconds + static_cast<long>(limit / static_cast<std::size_t>(averageBytesPerSecond));
    }
};

// The client over libcurl, speaking HTTP/1.0; tests shorten the limits.
// HTTPS verifies the server's certificate and host name against the system's
// certificate store, or against the CA bundle named by the environment
// variable caFileVariable when it is set and not empty (read here, once).
std::unique_ptr<HttpClient> makeHttpClient(const HttpLimits& limits = {});

inline constexpr const char* caFileVariable = "TRELVO_CA_FILE";

}  // namespace trelvo
