#include "support/https_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace tavix::test {

HttpsTestServer::HttpsTestServer() {
    const std::string dir = "'" + dir_.path().string() + "'";
    const std::string certificate =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 3 -subj /CN=localhost "
        "-addext subjectAltName=DNS:localhost,IP:127.0.0.1 -keyout " +
        dir + "/key.pem -out " + dir + "/cert.pem 2>/dev/null";
    if (std::system(certificate.c_str()) != 0) throw std::runtime_error("openssl could not make a certificate");
    const auto script = std::filesystem::path(TAVIX_TEST_DATA).parent_path() / "support" / "https_server.py";
    // "e": the pipe is not inherited by the programs the tests run.
    output_ = ::popen(("exec python3 '" + script.string() + "' " + dir).c_str(), "re");
    if (output_ == nullptr || std::fscanf(output_, "%d %d %d", &port_, &pid_, &plainPort_) != 3) {
        throw std::runtime_error("the test HTTPS server did not start");
    }
}

HttpsTestServer::~HttpsTestServer() {
    ::kill(pid_, SIGTERM);
    ::pclose(output_);
}

void HttpsTestServer::route(const std::string& path, const nlohmann::json& answer) {
    routes_[path] = answer;
    // The server reads the file at each request: replace it in one step.
    writeFile(dir_ / "routes.new", routes_.dump());
    std::filesystem::rename(dir_ / "routes.new", dir_ / "routes.json");
}

nlohmann::json HttpsTestServer::requests() const {
    auto all = nlohmann::json::array();
    std::istringstream lines(readAll(dir_ / "requests.jsonl"));
    for (std::string line; std::getline(lines, line);) all.push_back(nlohmann::json::parse(line));
    return all;
}

int deadPort() {
    // Bound and closed again: the port was free a moment ago and nothing listens on it now.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("no free port on 127.0.0.1");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

}  // namespace tavix::test
