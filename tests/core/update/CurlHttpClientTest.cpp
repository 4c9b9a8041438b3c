#include <gtest/gtest.h>

#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/update/HttpClient.h"


using namespace trelvo;
using namespace std::chrono_literals;

namespace {

// An httplib server on 127.0.0.1 with a free port, run on its own thread.
template <typename Server>
class ServerOnLoopback {
public:
    template <typename... Arguments>
    explicit ServerOnLoopback(Arguments&&... arguments) : server(std::forward<Arguments>(arguments)...) {}
    ~ServerOnLoopback() {
        if (thread_.joinable()) {
            server.stop();
            thread_.join();
        }
    }

    void start() {
        port_ = server.bind_to_any_port("127.0.0.1");
        ASSERT_GT(port_, 0);
        thread_ = std::thread([this] { server.listen_after_bind(); });
        // stop() is a no-op until the loop runs, and the destructor relies on it.
        while (!server.is_running())
            std::this_thread::sleep_for(1ms);
    }

    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

    Server server;

private:
    int port_ = 0;
    std::thread thread_;
};
using LocalServer = ServerOnLoopback<httplib::Server>;

// A port on 127.0.0.1 that refuses connections: bound, never listening, so
// no other process can take it while the test runs.
class ClosedPort {
public:
    ClosedPort() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            socklen_t length = sizeof address;
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
            port_ = ntohs(address.sin_port);
        }
    }
    ~ClosedPort() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    int fd_ = -1;
    int port_ = 0;
};

class CurlHttpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.server.Get("/hello.txt", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("Ahoj, světe", "text/plain");
        });
        server.server.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/hello.txt");
        });
        server.server.Get("/headers", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex);
            accept = req.get_header_value("Accept");
            userAgent = req.get_header_value("User-Agent");
            version = req.version;
            res.set_content("ok", "text/plain");
        });
        server.server.Get("/hundred", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(100, 'x'), "application/octet-stream");
        });
        // No Content-Length: only the running count can catch the excess.
        server.server.Get("/stream", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider(
                "application/octet-stream", [](std::size_t, httplib::DataSink& sink) {
                    const std::string block(64, 'y');
                    for (int i = 0; i < 4; ++i)
                        if (!sink.write(block.data(), block.size()))
                            return false;
                    sink.done();
                    return true;
                });
        });
        server.server.set_pre_routing_handler([this](const httplib::Request& req,
                                                     httplib::Response&) {
            if (req.method == "HEAD")
                ++heads;
            return httplib::Server::HandlerResponse::Unhandled;
        });
        server.start();
    }

    std::unique_ptr<HttpClient> connected() {
        auto client = makeHttpClient();
        client->setHost(server.host(), HttpScheme::http);
        client->connect();
        return client;
    }

    LocalServer server;
    std::mutex mutex;
    std::string accept, userAgent, version;
    std::atomic<int> heads{0};
};

TEST_F(CurlHttpClientTest, GetReturnsTheBody) {
    auto client = connected();
    EXPECT_EQ(client->get("/hello.txt", 1000), "Ahoj, světe");
    // The same client serves a second request after the first.
    EXPECT_EQ(client->get("/hundred", 1000), std::string(100, 'x'));
    client->disconnect();
}

TEST_F(CurlHttpClientTest, GetWorksWithoutAnExplicitConnect) {
    auto client = makeHttpClient();
    client->setHost(server.host(), HttpScheme::http);
    EXPECT_EQ(client->get("/hello.txt", 1000), "Ahoj, světe");
}

TEST_F(CurlHttpClientTest, SendsHttp10AndTheExpectedHeaders) {
    auto client = connected();
    client->get("/headers", 100);
    std::lock_guard lock(mutex);
    EXPECT_EQ(version, "HTTP/1.0");
    EXPECT_EQ(accept, "text/html, */*");
    EXPECT_EQ(userAgent, "Mozilla/3.0 (compatible; Indy Library)");
}

TEST_F(CurlHttpClientTest, StatusOtherThan2xxThrows) {
    auto client = connected();
    EXPECT_THROW(client->get("/missing", 1000), HttpError);
    // A redirect is not followed and counts as a failure too.
    EXPECT_THROW(client->get("/moved", 1000), HttpError);
    // A failure leaves the client usable.
    EXPECT_EQ(client->get("/hello.txt", 1000), "Ahoj, světe");
}

TEST_F(CurlHttpClientTest, ErrorMessageNamesTheStatus) {
    auto client = connected();
    try {
        client->get("/missing", 1000);
        FAIL() << "no exception";
    } catch (const HttpError& e) {
        EXPECT_NE(std::string(e.what()).find("404"), std::string::npos) << e.what();
        EXPECT_EQ(e.status, 404) << "only this says the file is not there";
    }
    // A body over the limit came from a server that has the file.
    try {
        client->get("/hundred", 99);
        FAIL() << "no exception";
    } catch (const HttpError& e) {
        EXPECT_EQ(e.status, 0) << e.what();
    }
}

TEST_F(CurlHttpClientTest, HeadSucceedsOnAnExistingPathAndThrowsOnAMissingOne) {
    auto client = connected();
    EXPECT_NO_THROW(client->head("/hello.txt"));
    EXPECT_THROW(client->head("/missing"), HttpError);
    EXPECT_EQ(heads.load(), 2);
    // A GET after a HEAD reads the body again.
    EXPECT_EQ(client->get("/hello.txt", 1000), "Ahoj, světe");
}

TEST_F(CurlHttpClientTest, BodyLimit) {
    auto client = connected();
    // Exactly at the limit is fine; one byte over is refused, whether the
    // length is declared up front or only seen while streaming.
    EXPECT_EQ(client->get("/hundred", 100).size(), 100u);
    EXPECT_THROW(client->get("/hundred", 99), HttpError);
    EXPECT_EQ(client->get("/stream", 256).size(), 256u);
    EXPECT_THROW(client->get("/stream", 255), HttpError);
    EXPECT_THROW(client->get("/stream", 0), HttpError);
}

TEST_F(CurlHttpClientTest, IgnoresAProxyFromTheEnvironment) {
    ClosedPort proxy;
    const char* saved = std::getenv("http_proxy");
    std::optional<std::string> previous;
    if (saved)
        previous = saved;
    ::setenv("http_proxy", ("http://" + proxy.host()).c_str(), 1);
    std::string body;
    try {
        body = connected()->get("/hello.txt", 1000);
    } catch (const HttpError& e) {
        ADD_FAILURE() << e.what();
    }
    if (previous)
        ::setenv("http_proxy", previous->c_str(), 1);
    else
        ::unsetenv("http_proxy");
    EXPECT_EQ(body, "Ahoj, světe");
}

TEST(CurlHttpClient, ConnectToAClosedPortThrows) {
    ClosedPort closed;
    ASSERT_GT(closed.port(), 0);
    auto client = makeHttpClient();
    client->setHost(closed.host(), HttpScheme::http);
    EXPECT_THROW(client->connect(), HttpError);
    EXPECT_THROW(client->get("/", 100), HttpError);
    EXPECT_THROW(client->head("/"), HttpError);
}

TEST(CurlHttpClient, RejectsAMissingOrMalformedHost) {
    auto client = makeHttpClient();
    EXPECT_THROW(client->connect(), HttpError);
    EXPECT_THROW(client->get("/", 100), HttpError);
    // Anything that would turn the host into another URL is refused.
    EXPECT_THROW(client->setHost("user@127.0.0.1", HttpScheme::http), HttpError);
    EXPECT_THROW(client->setHost("127.0.0.1/path", HttpScheme::http), HttpError);
    EXPECT_THROW(client->setHost("127.0.0.1 x", HttpScheme::http), HttpError);
    EXPECT_THROW(client->setHost("", HttpScheme::http), HttpError);
}

// Holds a handler back until the test lets it go, or 20 s at most: far past
// the client's shortened stall time, so that a client which does not give up
// gets its answer after all and the test fails instead of hanging.
class Hold {
public:
    void wait() {
        std::unique_lock lock(mutex_);
        released_.wait_for(lock, 20s, [this] { return open_; });
    }
    void release() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        released_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool open_ = false;
};

// Test figures: a transfer under 1 kB/s for 1 s on end has stalled.
const HttpLimits quickStall{.stallSeconds = 1};
constexpr std::size_t blockSize = 512;

TEST(CurlHttpClient, AStallingServerEndsInAFailure) {
    Hold hold;
    LocalServer server;
    server.server.Get("/stall", [&](const httplib::Request&, httplib::Response& res) {
        hold.wait();
        res.set_content("late", "text/plain");
    });
    server.start();

    auto client = makeHttpClient(quickStall);
    client->setHost(server.host(), HttpScheme::http);
    client->connect();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_THROW(client->get("/stall", 1000), HttpError);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 40s);
    hold.release();
}

// A window that closes while a server keeps silent must not wait for the
// stall limit: a cancel from another thread ends the request under way, with
// the program's own limits, long before the server's late answer, and every
// later request fails without reaching the server.
TEST(CurlHttpClient, ACancelEndsTheWaitingRequestAndEveryLaterOne) {
    Hold hold;
    std::atomic<int> asked{0};
    LocalServer server;
    server.server.Get("/stall", [&](const httplib::Request&, httplib::Response& res) {
        ++asked;
        hold.wait();
        res.set_content("late", "text/plain");
    });
    server.start();

    auto client = makeHttpClient();
    client->setHost(server.host(), HttpScheme::http);
    std::thread canceller([&] {
        while (asked == 0)
            std::this_thread::sleep_for(1ms);
        client->cancel();
    });
    EXPECT_THROW(client->get("/stall", 1000), HttpError);
    canceller.join();
    hold.release();
    EXPECT_THROW(client->get("/stall", 1000), HttpError);
    EXPECT_THROW(client->connect(), HttpError);
    EXPECT_EQ(asked, 1);
}

TEST(CurlHttpClient, ATransferThatStopsMidBodyEndsInAFailure) {
    Hold hold;
    LocalServer server;
    server.server.Get("/halt", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(2 * blockSize, "application/octet-stream",
                                 [&](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     if (offset > 0)
                                         hold.wait();
                                     const std::string block(blockSize, 'h');
                                     return sink.write(block.data(), block.size());
                                 });
    });
    server.start();

    auto client = makeHttpClient(quickStall);
    client->setHost(server.host(), HttpScheme::http);
    EXPECT_THROW(client->get("/halt", 1 << 20), HttpError);
    hold.release();
}

// The old limit on the whole transfer made an edition that takes long to
// arrive impossible to have; only a stall ends a transfer now.
TEST(CurlHttpClient, ASlowButSteadyTransferOutlastingTheStallTimeSucceeds) {
    constexpr std::size_t blocks = 25;  // 5 kB/s for 2.5 s
    LocalServer server;
    server.server.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(blocks * blockSize, "application/octet-stream",
                                 [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                     std::this_thread::sleep_for(100ms);
                                     const std::string block(blockSize, 's');
                                     return sink.write(block.data(), block.size());
                                 });
    });
    server.start();

    auto client = makeHttpClient(quickStall);
    client->setHost(server.host(), HttpScheme::http);
    std::string body;
    try {
        body = client->get("/slow", 1 << 20);
    } catch (const HttpError& e) {
        ADD_FAILURE() << e.what();
    }
    EXPECT_EQ(body.size(), blocks * blockSize);
    EXPECT_EQ(body.find_first_not_of('s'), std::string::npos);
}

// A server that drips steadily, too fast for the stall limit, would hold a
// request for as long as its body lasts: 36 hours for the largest edition at
// 2 kB/s. The request ends once it has taken the time its size limit allows.
TEST(CurlHttpClient, ADripThatOutlastsTheOverallLimitOfItsSizeEndsInAFailure) {
    constexpr std::size_t blocks = 16;  // 2.5 kB/s for 3.2 s
    std::atomic<int> sent{0};
    LocalServer server;
    server.server.Get("/drip", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(blocks * blockSize, "application/octet-stream",
                                 [&](std::size_t, std::size_t, httplib::DataSink& sink) {
                                     std::this_thread::sleep_for(200ms);
                                     ++sent;
                                     const std::string block(blockSize, 'd');
                                     return sink.write(block.data(), block.size());
                                 });
    });
    server.start();

    // 8 kB may take 1 s after connecting and stalling, at 8 kB/s: 3 s in all.
    const HttpLimits limits{.connectSeconds = 1, .stallSeconds = 1, .averageBytesPerSecond = 8 * 1024};
    auto client = makeHttpClient(limits);
    client->setHost(server.host(), HttpScheme::http);
    try {
        client->get("/drip", blocks * blockSize);
        ADD_FAILURE() << "the whole drip was waited for";
    } catch (const HttpError& e) {
        EXPECT_NE(std::string(e.what()).find("not complete within 3 seconds"), std::string::npos) << e.what();
    }
    EXPECT_LT(sent.load(), static_cast<int>(blocks));
}

}  // namespace

// ---------------------------------------------------------------- HTTPS

namespace {

// A certificate authority made for the test by the openssl command, the
// certificate it gives 127.0.0.1, one it gives another name, and a second
// authority that has signed nothing here.
class TestCertificates {
public:
    TestCertificates() {
        std::string name = (std::filesystem::temp_directory_path() / "trelvo-tls-XXXXXX").string();
        if (!::mkdtemp(name.data()))
            return;
        folder_ = name;
        const std::string script =
            "set -e; cd '" + folder_ + "'\n"
            "key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out \"$1\" 2>/dev/null; }\n"
            "authority() { key \"$1.key\"; openssl req -x509 -new -key \"$1.key\" -out \"$1.pem\" -days 2 "
            "-subj \"/CN=$1\" -addext basicConstraints=critical,CA:TRUE; }\n"
            "issue() { key \"$1.key\"; openssl req -new -key \"$1.key\" -out \"$1.csr\" -subj /CN=test;\n"
            "  printf 'subjectAltName=%s\\n' \"$2\" > \"$1.ext\"\n"
            "  openssl x509 -req -in \"$1.csr\" -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 "
            "-extfile \"$1.ext\" -out \"$1.pem\" 2>/dev/null; }\n"
            "authority ca; authority other-ca\n"
            "issue server IP:127.0.0.1; issue elsewhere DNS:elsewhere.lan\n";
        std::ofstream(folder_ + "/make.sh") << script;
        made_ = std::system(("bash '" + folder_ + "/make.sh' >/dev/null").c_str()) == 0;
    }
    ~TestCertificates() {
        std::error_code ignored;
        if (!folder_.empty())
            std::filesystem::remove_all(folder_, ignored);
    }
    bool made() const { return made_; }
    std::string file(const std::string& name) const { return folder_ + "/" + name; }

private:
    std::string folder_;
    bool made_ = false;
};

using TlsServer = ServerOnLoopback<httplib::SSLServer>;

// The CA file is read when the client is made; the variable is put back after.
std::unique_ptr<HttpClient> clientTrusting(const std::string& caFile) {
    const char* saved = std::getenv(caFileVariable);
    const std::optional<std::string> previous = saved ? std::optional<std::string>(saved) : std::nullopt;
    ::setenv(caFileVariable, caFile.c_str(), 1);
    auto client = makeHttpClient();
    if (previous)
        ::setenv(caFileVariable, previous->c_str(), 1);
    else
        ::unsetenv(caFileVariable);
    return client;
}

// The failure of connecting to host over scheme; nullopt when it connects.
std::optional<HttpError> connectFailure(HttpClient& client, const std::string& host, HttpScheme scheme) {
    try {
        client.setHost(host, scheme);
        client.connect();
    } catch (const HttpError& error) {
        return error;
    }
    return std::nullopt;
}

}  // namespace

class CurlHttpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(certificates.made()) << "the openssl command could not make the test certificates";
        for (TlsServer* tls : {&server, &elsewhere}) {
            ASSERT_TRUE(tls->server.is_valid());
            tls->server.Get("/hello.txt", [](const httplib::Request&, httplib::Response& res) {
                res.set_content("Ahoj, světe", "text/plain");
            });
            tls->start();
        }
    }

    TestCertificates certificates;
    TlsServer server{certificates.file("server.pem").c_str(), certificates.file("server.key").c_str()};
    TlsServer elsewhere{certificates.file("elsewhere.pem").c_str(), certificates.file("elsewhere.key").c_str()};
};

TEST_F(CurlHttpsTest, AServerCertifiedByTheNamedAuthorityIsReached) {
    auto client = clientTrusting(certificates.file("ca.pem"));
    EXPECT_FALSE(connectFailure(*client, server.host(), HttpScheme::https));
    EXPECT_EQ(client->get("/hello.txt", 1000), "Ahoj, světe");
    EXPECT_NO_THROW(client->head("/hello.txt"));
}

// Each of these ends the location as a failure of HTTPS itself, with
// libcurl's text, and never reaches the content.
TEST_F(CurlHttpsTest, AnUntrustedOrMisnamedCertificateIsAFailureOfTheSecureChannel) {
    auto expectRefused = [](HttpClient& client, const std::string& host, const std::string& why) {
        SCOPED_TRACE(why);
        const std::optional<HttpError> failure = connectFailure(client, host, HttpScheme::https);
        ASSERT_TRUE(failure);
        EXPECT_TRUE(failure->secureChannel) << failure->what();
        EXPECT_THROW(client.get("/hello.txt", 1000), HttpError);
    };
    // The system's store does not know the test authority.
    auto systemStore = clientTrusting("");
    expectRefused(*systemStore, server.host(), "system store");
    auto otherAuthority = clientTrusting(certificates.file("other-ca.pem"));
    expectRefused(*otherAuthority, server.host(), "another authority");
    // Trusted authority, but the certificate names another host.
    auto trusting = clientTrusting(certificates.file("ca.pem"));
    expectRefused(*trusting, elsewhere.host(), "another name");
    // A CA file that is not there trusts nothing.
    auto missingFile = clientTrusting(certificates.file("absent.pem"));
    expectRefused(*missingFile, server.host(), "missing CA file");
}

TEST_F(CurlHttpsTest, OnlyTheSchemeOfTheLocationIsSpoken) {
    auto client = clientTrusting(certificates.file("ca.pem"));
    // A plain server at an HTTPS location offers no secure channel.
    LocalServer plain;
    plain.server.Get("/plain", [](const httplib::Request&, httplib::Response& res) { res.set_content("p", "text/plain"); });
    plain.start();
    const std::optional<HttpError> noTls = connectFailure(*client, plain.host(), HttpScheme::https);
    ASSERT_TRUE(noTls);
    EXPECT_TRUE(noTls->secureChannel) << noTls->what();
    // A port nobody listens on is unreachable, not a failure of HTTPS.
    ClosedPort closed;
    const std::optional<HttpError> refused = connectFailure(*client, closed.host(), HttpScheme::https);
    ASSERT_TRUE(refused);
    EXPECT_FALSE(refused->secureChannel) << refused->what();
    // The same client goes back to plain HTTP when told so, and to HTTPS again.
    EXPECT_FALSE(connectFailure(*client, plain.host(), HttpScheme::http));
    EXPECT_EQ(client->get("/plain", 10), "p");
    EXPECT_FALSE(connectFailure(*client, server.host(), HttpScheme::https));
    EXPECT_EQ(client->get("/hello.txt", 1000), "Ahoj, světe");
}
