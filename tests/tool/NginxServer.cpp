#include "NginxServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "LoopbackPorts.h"

namespace fs = std::filesystem;

namespace {

std::string nginxProgram() {
    for (const char* path : {"/usr/sbin/nginx", "/usr/bin/nginx"})
        if (access(path, X_OK) == 0) return path;
    return {};
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

NginxServer::NginxServer(const std::string& root, const Certificate* certificate) {
    char name[] = "/tmp/trelvo-nginx-XXXXXX";
    if (!mkdtemp(name)) {
        error_ = "no temporary folder";
        return;
    }
    folder_ = name;
    for (int attempt = 0; attempt < 3 && !ready_; ++attempt) ready_ = start(root, certificate);
}

NginxServer::~NginxServer() {
    stop();
    std::error_code ignored;
    if (!folder_.empty()) fs::remove_all(folder_, ignored);
}

std::string NginxServer::accessLog() const { return readText(folder_ + "/access.log"); }

bool NginxServer::start(const std::string& root, const Certificate* certificate) {
    const std::string nginx = nginxProgram();
    if (nginx.empty()) {
        error_ = "nginx is not installed (bash scripts/setup.sh installs it)";
        return false;
    }
    httpPort_ = freeLoopbackPort();
    httpsPort_ = certificate ? freeLoopbackPort() : 0;
    const std::string configuration = folder_ + "/nginx.conf";
    {
        // One process, in the foreground, under the test's own user: nginx
        // switches users only in worker processes, which it has none of here.
        // Every file it writes lies in the test's folder.
        std::ofstream conf(configuration);
        conf << "daemon off;\n"
             << "master_process off;\n"
             << "pid " << folder_ << "/nginx.pid;\n"
             << "error_log " << folder_ << "/error.log info;\n"
             << "events { worker_connections 64; }\n"
             << "http {\n"
             << "  access_log " << folder_ << "/access.log;\n"
             << "  client_body_temp_path " << folder_ << "/client_body;\n"
             << "  proxy_temp_path " << folder_ << "/proxy;\n"
             << "  fastcgi_temp_path " << folder_ << "/fastcgi;\n"
             << "  uwsgi_temp_path " << folder_ << "/uwsgi;\n"
             << "  scgi_temp_path " << folder_ << "/scgi;\n"
             << "  types { text/plain cfg sig; }\n"
             << "  default_type application/octet-stream;\n"
             << "  server {\n"
             << "    listen 127.0.0.1:" << httpPort_ << ";\n";
        if (certificate)
            conf << "    listen 127.0.0.1:" << httpsPort_ << " ssl;\n"
                 << "    ssl_certificate " << certificate->chain << ";\n"
                 << "    ssl_certificate_key " << certificate->key << ";\n";
        conf << "    root " << root << ";\n"
             << "  }\n"
             << "}\n";
    }
    const std::string errorLog = folder_ + "/error.log";
    const std::string output = folder_ + "/output.log";
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // Ends with the test, however the test ends.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        execl(nginx.c_str(), nginx.c_str(), "-p", folder_.c_str(), "-c", configuration.c_str(), "-e",
              errorLog.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid_ < 0) {
        error_ = "cannot start nginx";
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error_ = "nginx ended at its start:\n" + readText(output) + readText(errorLog);
            return false;
        }
        if (acceptsOnLoopback(httpPort_) && (!certificate || acceptsOnLoopback(httpsPort_))) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    error_ = "nginx did not accept connections within 10 s:\n" + readText(errorLog);
    stop();
    return false;
}

void NginxServer::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
}
