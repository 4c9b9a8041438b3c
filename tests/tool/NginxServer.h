#pragma once

#include <sys/types.h>

#include <string>

// nginx serving a folder on free loopback ports, as a process of the test
// itself: started in the constructor, ready when it returns, and ended in
// the destructor, also when the test fails. A test that crashes takes it
// along, as it dies with its parent.
class NginxServer {
public:
    struct Certificate {
        std::string chain;  // PEM, the server's certificate
        std::string key;    // PEM, its private key
    };

    // Serves root over plain HTTP, and over HTTPS too when a certificate is
    // given. ready() says whether it came up; error() says why not.
    NginxServer(const std::string& root, const Certificate* certificate = nullptr);
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    bool ready() const { return ready_; }
    const std::string& error() const { return error_; }
    int httpPort() const { return httpPort_; }
    int httpsPort() const { return httpsPort_; }
    // The lines of the access log, to see what the program asked for.
    std::string accessLog() const;

private:
    bool start(const std::string& root, const Certificate* certificate);
    void stop();

    std::string folder_;  // configuration, logs, pid and temporary files
    pid_t pid_ = -1;
    int httpPort_ = 0;
    int httpsPort_ = 0;
    bool ready_ = false;
    std::string error_;
};
