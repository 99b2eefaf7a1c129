#include "support/NginxServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

namespace {

// A port the kernel hands out as free; nginx binds it right after.
std::uint16_t FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    std::uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool Accepts(std::uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

const char* FindNginx() {
    for (const char* path : {"/usr/sbin/nginx", "/usr/bin/nginx", "/usr/local/sbin/nginx"})
        if (::access(path, X_OK) == 0)
            return path;
    return nullptr;
}

} // namespace

NginxServer::~NginxServer() {
    Stop();
}

std::string NginxServer::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

bool NginxServer::Start(const std::string& root, const std::vector<Redirect>& redirects,
                        std::uint64_t limitRate) {
    const char* nginx = FindNginx();
    if (!nginx || pid_)
        return false;
    char pattern[] = "/tmp/launcher-nginx-XXXXXX";
    if (!::mkdtemp(pattern))
        return false;
    prefix_ = pattern;
    std::filesystem::create_directories(prefix_ + "/logs");
    std::filesystem::create_directories(prefix_ + "/temp");

    for (int attempt = 0; attempt < 5 && !pid_; ++attempt) {
        port_ = FreePort();
        std::ofstream conf(prefix_ + "/nginx.conf", std::ios::trunc);
        // As root the workers would run as "nobody" and could not read the
        // test's private folders.
        if (::geteuid() == 0)
            conf << "user root;\n";
        // A stop waits for running requests at most this long: a worker
        // that outlived its master would keep the test's output open.
        conf << "worker_processes 1;\n"
             << "worker_shutdown_timeout 1s;\n"
             << "error_log " << prefix_ << "/logs/error.log warn;\n"
             << "pid " << prefix_ << "/nginx.pid;\n"
             << "events { worker_connections 64; }\n"
             << "http {\n"
             << "  access_log " << prefix_ << "/logs/access.log;\n"
             << "  client_body_temp_path " << prefix_ << "/temp/body;\n"
             << "  proxy_temp_path " << prefix_ << "/temp/proxy;\n"
             << "  fastcgi_temp_path " << prefix_ << "/temp/fastcgi;\n"
             << "  uwsgi_temp_path " << prefix_ << "/temp/uwsgi;\n"
             << "  scgi_temp_path " << prefix_ << "/temp/scgi;\n"
             << "  default_type application/octet-stream;\n"
             << "  sendfile on;\n"
             << "  server {\n"
             << "    listen 127.0.0.1:" << port_ << ";\n"
             << "    root " << root << ";\n";
        if (limitRate)
            conf << "    limit_rate " << limitRate << ";\n";
        for (const Redirect& r : redirects)
            conf << "    location = " << r.from << " { return " << r.status << " " << r.to
                 << "; }\n";
        conf << "  }\n}\n";
        conf.close();

        pid_t pid = ::fork();
        if (pid == 0) {
            // Its own process group, so a stop reaches the workers too, and
            // its output in its folder instead of the test's.
            ::setpgid(0, 0);
            std::string output = prefix_ + "/logs/output.log";
            int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (fd >= 0) {
                ::dup2(fd, STDOUT_FILENO);
                ::dup2(fd, STDERR_FILENO);
            }
            std::string conf = prefix_ + "/nginx.conf";
            ::execl(nginx, nginx, "-p", prefix_.c_str(), "-c", conf.c_str(), "-g", "daemon off;",
                    static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        if (pid < 0)
            return false;
        ::setpgid(pid, pid); // whichever of the two runs first
        pid_ = pid;
        // Wait until it answers, or give up on this port if it exited.
        bool up = false;
        for (int i = 0; i < 500 && !up; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = 0;
                break;
            }
            up = Accepts(port_);
            if (!up)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!up && pid_) {
            Stop();
            return false;
        }
    }
    return pid_ != 0;
}

void NginxServer::Stop() {
    if (pid_) {
        ::kill(pid_, SIGQUIT);
        int status = 0;
        for (int i = 0; i < 300; ++i) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (i == 299) {
                // The whole group: a worker must not outlive its master.
                ::kill(-pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
            }
        }
        pid_ = 0;
    }
    if (!prefix_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(prefix_, ec);
        prefix_.clear();
    }
}

} // namespace testsupport
