#include "support/https_test_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace tavix::test {
namespace {

std::filesystem::path serverScript() {
    return std::filesystem::path(TAVIX_TEST_DATA).parent_path() / "support" / "https_server.py";
}

std::vector<char*> argvOf(std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    return argv;
}

// Runs a program to its end with its output discarded; true when it exits 0.
bool run(std::vector<std::string> args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    auto argv = argvOf(args);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void openssl(const std::filesystem::path& dir, std::vector<std::string> args) {
    args.insert(args.begin(), "openssl");
    for (auto& arg : args) {
        if (arg.rfind("@", 0) == 0) arg = (dir / arg.substr(1)).string();
    }
    if (!run(args)) throw std::runtime_error("openssl " + args[1] + " failed making the test authority");
}

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

}  // namespace

TestAuthority::TestAuthority() {
    const auto& d = dir_.path();
    writeFile(d / "server.ext",
              "subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n");
    openssl(d, {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                "@authority.key", "-out", "@authority.pem", "-days", "3", "-subj", "/CN=Tavix Test Authority",
                "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign"});
    openssl(d, {"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", "@server.key",
                "-out", "@server.csr", "-subj", "/CN=localhost"});
    openssl(d, {"x509", "-req", "-in", "@server.csr", "-CA", "@authority.pem", "-CAkey", "@authority.key",
                "-CAcreateserial", "-days", "3", "-extfile", "@server.ext", "-out", "@server.pem"});
}

const TestAuthority& TestAuthority::shared() {
    static const TestAuthority authority;
    return authority;
}

Route Route::text(int status, std::string body) {
    Route r;
    r.status = status;
    r.body = std::move(body);
    return r;
}

Route Route::bytes(std::size_t count, int status) {
    Route r;
    r.status = status;
    r.bodyBytes = count;
    return r;
}

Route Route::redirect(std::string location, int status) {
    Route r;
    r.status = status;
    r.location = std::move(location);
    return r;
}

Route Route::slow(double seconds, std::string body) {
    Route r = text(200, std::move(body));
    r.delaySeconds = seconds;
    return r;
}

Route Route::endlessBody() {
    Route r;
    r.endless = true;
    return r;
}

std::vector<std::string> RecordedRequest::header(std::string_view name) const {
    std::vector<std::string> values;
    for (const auto& [key, value] : headers) {
        if (lowered(key) == lowered(name)) values.push_back(value);
    }
    return values;
}

HttpsTestServer::HttpsTestServer(const TestAuthority& authority) {
    writeRoutes();
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<std::string> args = {
        "python3", serverScript().string(),           "--cert",   authority.certificateFile().string(),
        "--key",   authority.keyFile().string(),      "--routes", (dir_ / "routes.json").string(),
        "--log",   (dir_ / "requests.jsonl").string()};
    auto argv = argvOf(args);
    const int spawned = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        throw std::runtime_error("could not start python3");
    }
    // The first line is the port; give a loaded machine plenty of time to get there.
    std::string line;
    pollfd wait{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && ::poll(&wait, 1, 30000) > 0) {
        char buffer[64];
        const ssize_t got = ::read(out[0], buffer, sizeof buffer);
        if (got <= 0) break;
        line.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(out[0]);
    port_ = std::atoi(line.c_str());
    if (port_ <= 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        throw std::runtime_error("the test HTTPS server did not start");
    }
}

HttpsTestServer::~HttpsTestServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

std::string HttpsTestServer::base(std::string_view host) const {
    return "https://" + std::string(host) + ":" + std::to_string(port_);
}

void HttpsTestServer::route(const std::string& path, const Route& answer) {
    auto found = std::find_if(routes_.begin(), routes_.end(), [&](const auto& r) { return r.first == path; });
    if (found != routes_.end()) {
        found->second = answer;
    } else {
        routes_.emplace_back(path, answer);
    }
    writeRoutes();
}

void HttpsTestServer::writeRoutes() const {
    nlohmann::json all = nlohmann::json::object();
    for (const auto& [path, r] : routes_) {
        nlohmann::json entry = {{"status", r.status}, {"body", r.body}, {"delay", r.delaySeconds}};
        if (r.bodyBytes) entry["bodyBytes"] = *r.bodyBytes;
        if (!r.location.empty()) entry["location"] = r.location;
        if (r.endless) entry["endless"] = true;
        all[path] = entry;
    }
    // The server re-reads the file at each request: replace it in one step.
    writeFile(dir_ / "routes.json.new", all.dump());
    std::filesystem::rename(dir_ / "routes.json.new", dir_ / "routes.json");
}

std::vector<RecordedRequest> HttpsTestServer::requests() const {
    std::vector<RecordedRequest> all;
    std::istringstream lines(readAll(dir_ / "requests.jsonl"));
    for (std::string line; std::getline(lines, line);) {
        const auto entry = nlohmann::json::parse(line);
        RecordedRequest request{entry.at("method"), entry.at("path"), {}, entry.at("body")};
        for (const auto& pair : entry.at("headers")) request.headers.emplace_back(pair.at(0), pair.at(1));
        all.push_back(std::move(request));
    }
    return all;
}

int unusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) ::close(fd);
    if (port == 0) throw std::runtime_error("no free port");
    return port;
}

}  // namespace tavix::test
