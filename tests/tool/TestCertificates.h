#pragma once

#include <string>

#include "NginxServer.h"

// Certificates made for a test with the openssl command in a folder of their
// own: two unrelated certificate authorities and, from each, a certificate
// for a server on 127.0.0.1. Removed with the object.
class TestCertificates {
public:
    TestCertificates();
    ~TestCertificates();
    TestCertificates(const TestCertificates&) = delete;
    TestCertificates& operator=(const TestCertificates&) = delete;

    // Whether every certificate was made; error() says why not.
    bool made() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // The CA bundle a client trusts (PEM).
    std::string authority() const { return folder_ + "/ca.pem"; }
    // The server's certificate from that authority, and from the other one.
    NginxServer::Certificate server() const;
    NginxServer::Certificate serverOfOtherAuthority() const;

private:
    void makeAuthority(const std::string& name, const std::string& commonName);
    void makeServer(const std::string& name, const std::string& authority);
    void openssl(const std::string& arguments);

    std::string folder_;
    std::string error_;
};
