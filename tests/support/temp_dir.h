#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tavix::test {

// A fresh directory removed with everything in it when the test ends.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// Sets an environment variable for the life of the object, then puts back what was there.
class ScopedEnv {
  public:
    ScopedEnv(std::string name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::optional<std::string> previous_;
};

// Small file helpers for tests.
void writeFile(const std::filesystem::path& path, std::string_view content, unsigned mode = 0644);
std::string readAll(const std::filesystem::path& path);
unsigned modeOf(const std::filesystem::path& path);
// An executable /bin/sh script with `body` after the #! line.
std::filesystem::path writeScript(const std::filesystem::path& path, std::string_view body);
// Every file below `directory` by its relative path: its mode in octal, a space and its content.
std::map<std::string, std::string> filesBelow(const std::filesystem::path& directory);
// A script standing in for adb in `directory`, named in the state directory's config (with NODE, so the bridge counts
// as installed): it adds its arguments as a line "[first][second]…" to "adb.calls" there, then runs `body` with $d
// set to `directory`.
void useFakeAdb(const std::filesystem::path& directory, const std::filesystem::path& stateRoot,
                const std::string& body);
// What a /bin/sh command line prints on its standard output.
std::string commandOutput(const std::string& command);
// Names in `directory` that start with `prefix`.
int countEntries(const std::filesystem::path& directory, std::string_view prefix);

}  // namespace tavix::test
