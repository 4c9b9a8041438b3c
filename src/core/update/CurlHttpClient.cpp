#include "HttpClient.h"

#include <atomic>
#include <cstdlib>
#include <string>

#include "CurlLibrary.h"

namespace trelvo {

namespace {

const CurlLibrary& curl() { return CurlLibrary::get(); }

struct EasyDeleter {
    void operator()(CURL* handle) const { curl().easy_cleanup(handle); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;

struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl().slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

// Collects the body and stops the transfer once it outgrows the limit, so a
// hostile or broken server cannot fill memory.
struct Sink {
    std::string body;
    std::size_t limit = 0;
    bool overLimit = false;
};

std::size_t writeBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const std::size_t bytes = size * count;
    if (bytes > sink->limit - sink->body.size()) {
        sink->overLimit = true;
        return 0;  // anything but `bytes` makes libcurl abort with CURLE_WRITE_ERROR
    }
    sink->body.append(data, bytes);
    return bytes;
}

// Called by libcurl about once a second while a request waits, and more
// often while data flow; anything but 0 ends the transfer.
int stopWhenCancelled(void* cancelled, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(cancelled)->load() ? 1 : 0;
}

// Keeps libcurl from printing a stray body to stdout.
std::size_t discardBody(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

// Characters that would move the request elsewhere than host[:port] once
// pasted into a URL (user info, a path, a query, a fragment).
bool isPlainHost(const std::string& host) {
    if (host.empty())
        return false;
    for (unsigned char c : host)
        if (c <= ' ' || c >= 0x7f || c == '/' || c == '\\' || c == '@' || c == '?' ||
            c == '#')
            return false;
    return true;
}

// The failures that belong to TLS itself rather than to reaching the host.
bool isSecureChannelFailure(CURLcode code) {
    switch (code) {
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_USE_SSL_FAILED:
            return true;
        default:
            return false;
    }
}

class CurlHttpClient final : public HttpClient {
public:
    explicit CurlHttpClient(const HttpLimits& limits)
        : limits_(limits),
          headers_(curl().slist_append(nullptr, "Accept: text/html, */*")) {
        // Read once, on the thread that makes the client: the requests may
        // run on another, where the environment is not safe to read.
        if (const char* caFile = std::getenv(caFileVariable); caFile && *caFile)
            caFile_ = caFile;
    }

    void setHost(const std::string& host, HttpScheme scheme) override {
        if (!isPlainHost(host))
            throw HttpError("Invalid host name: \"" + host + "\"");
        if (host != host_ || scheme != scheme_)
            handle_.reset();  // a kept connection belongs to the old host
        host_ = host;
        scheme_ = scheme;
    }

    void connect() override {
        // A connect-only handle cannot serve later transfers, so the probe uses
        // its own handle and the requests get a fresh one.
        Easy probe = newHandle("/");
        check(curl().easy_setopt(probe.get(), CURLOPT_CONNECT_ONLY, 1L));
        perform(probe.get(), "Cannot connect to " + host_, false);
        probe.reset();
        handle_ = newHandle("/");
    }

    std::string get(const std::string& path, std::size_t limit) override {
        CURL* handle = prepare(path);
        Sink sink;
        sink.limit = limit;
        check(curl().easy_setopt(handle, CURLOPT_HTTPGET, 1L));
        check(curl().easy_setopt(handle, CURLOPT_WRITEFUNCTION, &writeBody));
        check(curl().easy_setopt(handle, CURLOPT_WRITEDATA, &sink));
        // Refuses a declared Content-Length over the limit before any body
        // arrives; 0 would mean "no limit", which the write callback covers.
        if (limit > 0)
            check(curl().easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE,
                                   static_cast<curl_off_t>(limit)));
        check(curl().easy_setopt(handle, CURLOPT_TIMEOUT, limits_.overallSeconds(limit)));
        try {
            perform(handle, "GET " + url(path) + " failed");
        } catch (const HttpError&) {
            if (sink.overLimit || lastCode_ == CURLE_FILESIZE_EXCEEDED)
                throw HttpError("GET " + url(path) + " failed: body longer than " +
                                std::to_string(limit) + " bytes");
            if (lastCode_ == CURLE_OPERATION_TIMEDOUT)
                throw HttpError("GET " + url(path) + " failed: not complete within " +
                                std::to_string(limits_.overallSeconds(limit)) + " seconds");
            throw;
        }
        return std::move(sink.body);
    }

    void head(const std::string& path) override {
        CURL* handle = prepare(path);
        check(curl().easy_setopt(handle, CURLOPT_NOBODY, 1L));
        check(curl().easy_setopt(handle, CURLOPT_TIMEOUT, limits_.overallSeconds(0)));
        perform(handle, "HEAD " + url(path) + " failed");
    }

    void disconnect() override { handle_.reset(); }

    void cancel() override { cancelled_ = true; }

private:
    static void check(CURLcode code) {
        if (code != CURLE_OK)
            throw HttpError(std::string("HTTP client set-up failed: ") +
                            curl().easy_strerror(code));
    }

    const char* schemeName() const { return scheme_ == HttpScheme::https ? "https" : "http"; }

    std::string url(const std::string& path) const {
        const std::string origin = std::string(schemeName()) + "://" + host_;
        if (path.empty() || path.front() != '/')
            return origin + "/" + path;
        return origin + path;
    }

    Easy newHandle(const std::string& path) {
        if (host_.empty())
            throw HttpError("No host set");
        Easy handle(curl().easy_init());
        if (!handle)
            throw HttpError("HTTP client set-up failed: no handle");
        CURL* h = handle.get();
        check(curl().easy_setopt(h, CURLOPT_URL, url(path).c_str()));
        check(curl().easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer_));
        check(curl().easy_setopt(h, CURLOPT_NOSIGNAL, 1L));  // time-outs without SIGALRM
        // The location's scheme to this one host only: no other scheme, no
        // redirect, and no proxy picked up from the environment.
        check(curl().easy_setopt(h, CURLOPT_PROTOCOLS_STR, schemeName()));
        check(curl().easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, schemeName()));
        check(curl().easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L));
        check(curl().easy_setopt(h, CURLOPT_PROXY, ""));
        check(curl().easy_setopt(h, CURLOPT_NOPROXY, "*"));
        // Said outright rather than left to the defaults: an edition comes
        // only from a server whose certificate is trusted and names the host.
        check(curl().easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L));
        check(curl().easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L));
        if (!caFile_.empty())
            check(curl().easy_setopt(h, CURLOPT_CAINFO, caFile_.c_str()));
        check(curl().easy_setopt(h, CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits_.connectSeconds)));
        check(curl().easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, limits_.stallBytesPerSecond));
        check(curl().easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits_.stallSeconds)));
        check(curl().easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0)));
        check(curl().easy_setopt(h, CURLOPT_USERAGENT, "Mozilla/3.0 (compatible; Indy Library)"));
        check(curl().easy_setopt(h, CURLOPT_HTTPHEADER, headers_.get()));
        // Stops at the first status of 400 or more without reading its body;
        // other non-2xx statuses are caught after the transfer.
        check(curl().easy_setopt(h, CURLOPT_FAILONERROR, 1L));
        check(curl().easy_setopt(h, CURLOPT_NOPROGRESS, 0L));
        check(curl().easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &stopWhenCancelled));
        check(curl().easy_setopt(h, CURLOPT_XFERINFODATA, &cancelled_));
        return handle;
    }

    // The kept handle, reset to a clean GET of path, so one request's
    // options (NOBODY, the write target) never leak into the next.
    CURL* prepare(const std::string& path) {
        if (!handle_)
            handle_ = newHandle(path);
        else
            check(curl().easy_setopt(handle_.get(), CURLOPT_URL, url(path).c_str()));
        CURL* h = handle_.get();
        check(curl().easy_setopt(h, CURLOPT_NOBODY, 0L));
        check(curl().easy_setopt(h, CURLOPT_HTTPGET, 1L));
        check(curl().easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(0)));
        check(curl().easy_setopt(h, CURLOPT_WRITEFUNCTION, &discardBody));
        check(curl().easy_setopt(h, CURLOPT_WRITEDATA, nullptr));
        return h;
    }

    // A probe sends no request and so has no status to check.
    void perform(CURL* handle, const std::string& what, bool checkStatus = true) {
        if (cancelled_)
            throw HttpError(what + ": cancelled");
        errorBuffer_[0] = '\0';
        const CURLcode code = curl().easy_perform(handle);
        lastCode_ = code;
        long status = 0;
        if (checkStatus)
            curl().easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
        if (code != CURLE_OK) {
            std::string detail = errorBuffer_[0] ? errorBuffer_ : curl().easy_strerror(code);
            throw HttpError(what + ": " + detail, isSecureChannelFailure(code),
                            code == CURLE_HTTP_RETURNED_ERROR ? status : 0);
        }
        if (!checkStatus)
            return;
        if (status < 200 || status > 299)
            throw HttpError(what + ": HTTP status " + std::to_string(status), false, status);
    }

    HttpLimits limits_;
    std::string caFile_;
    std::string host_;
    HttpScheme scheme_ = HttpScheme::http;
    Easy handle_;
    CURLcode lastCode_ = CURLE_OK;
    HeaderList headers_;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    std::atomic<bool> cancelled_{false};
};

}  // namespace

std::unique_ptr<HttpClient> makeHttpClient(const HttpLimits& limits) {
    return std::make_unique<CurlHttpClient>(limits);
}

}  // namespace trelvo
