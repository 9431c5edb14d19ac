#include "support/temp_dir.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace tavix::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavix-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code error;
    // Tests make read-only folders on purpose; give write access back so everything can go.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) ::chmod(it->path().c_str(), 0700);
    }
    ::chmod(path_.c_str(), 0700);
    std::filesystem::remove_all(path_, error);
}

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) previous_ = old;
    if (value) {
        ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

ScopedEnv::~ScopedEnv() {
    if (previous_) {
        ::setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

void writeFile(const std::filesystem::path& path, std::string_view content, unsigned mode) {
    std::filesystem::create_directories(path.parent_path());
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!out) throw std::runtime_error("cannot write " + path.string());
    }
    ::chmod(path.c_str(), mode);
}

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

unsigned modeOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return 0;
    return info.st_mode & 07777;
}

std::filesystem::path writeScript(const std::filesystem::path& path, std::string_view body) {
    writeFile(path, "#!/bin/sh\n" + std::string(body) + "\n", 0755);
    return path;
}

std::map<std::string, std::string> filesBelow(const std::filesystem::path& directory) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
        if (!entry.is_regular_file()) continue;
        char mode[8];
        std::snprintf(mode, sizeof mode, "%03o ", modeOf(entry.path()));
        files[std::filesystem::relative(entry.path(), directory).string()] = mode + readAll(entry.path());
    }
    return files;
}

void useFakeAdb(const std::filesystem::path& directory, const std::filesystem::path& stateRoot,
                const std::string& body) {
    const auto adb = writeScript(
        directory / "adb",
        "d='" + directory.string() + "'\nprintf '[%s]' \"$@\" >> \"$d/adb.calls\"\necho >> \"$d/adb.calls\"\n" + body);
    writeFile(stateRoot / "config", "NODE=/usr/bin/node\nADB=" + adb.string() + "\n");
}

std::string commandOutput(const std::string& command) {
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), pclose);
    std::string output;
    char buffer[4096];
    for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) output.append(buffer, n);
    return output;
}

int countEntries(const std::filesystem::path& directory, std::string_view prefix) {
    int count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0) ++count;
    }
    return count;
}

}  // namespace tavix::test
