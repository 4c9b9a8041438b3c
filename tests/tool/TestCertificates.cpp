#include "TestCertificates.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// P-256 keys are made in an instant, unlike RSA ones.
constexpr const char* newKey = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";

}  // namespace

TestCertificates::TestCertificates() {
    char name[] = "/tmp/trelvo-certificates-XXXXXX";
    if (!mkdtemp(name)) {
        error_ = "no temporary folder";
        return;
    }
    folder_ = name;
    std::ofstream(folder_ + "/server.ext") << "basicConstraints=CA:FALSE\n"
                                              "keyUsage=critical,digitalSignature,keyEncipherment\n"
                                              "extendedKeyUsage=serverAuth\n"
                                              "subjectAltName=IP:127.0.0.1\n";
    makeAuthority("ca", "Trelvo test CA");
    makeAuthority("other-ca", "Unrelated test CA");
    makeServer("server", "ca");
    makeServer("other-server", "other-ca");
}

TestCertificates::~TestCertificates() {
    std::error_code ignored;
    if (!folder_.empty()) fs::remove_all(folder_, ignored);
}

NginxServer::Certificate TestCertificates::server() const {
    return {folder_ + "/server.pem", folder_ + "/server.key"};
}

NginxServer::Certificate TestCertificates::serverOfOtherAuthority() const {
    return {folder_ + "/other-server.pem", folder_ + "/other-server.key"};
}

void TestCertificates::makeAuthority(const std::string& name, const std::string& commonName) {
    openssl("req -x509 " + std::string(newKey) + " -days 2 -subj '/CN=" + commonName + "' -keyout " + name +
            ".key -out " + name +
            ".pem -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign");
}

void TestCertificates::makeServer(const std::string& name, const std::string& authority) {
    openssl("req " + std::string(newKey) + " -subj /CN=127.0.0.1 -keyout " + name + ".key -out " + name + ".csr");
    openssl("x509 -req -in " + name + ".csr -CA " + authority + ".pem -CAkey " + authority +
            ".key -CAcreateserial -days 2 -extfile server.ext -out " + name + ".pem");
}

void TestCertificates::openssl(const std::string& arguments) {
    if (!error_.empty()) return;
    const std::string command = "cd '" + folder_ + "' && openssl " + arguments + " >>openssl.log 2>&1";
    if (std::system(command.c_str()) != 0) {
        std::ifstream log(folder_ + "/openssl.log");
        error_ = "openssl " + arguments + " failed:\n" +
                 std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
    }
}
