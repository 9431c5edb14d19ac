#include "app/self_test.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>

#include "android/adb_address.h"
#include "app/tavix_menu.h"
#include "platform/system/files.h"
#include "platform/system/uuid.h"

namespace tavix {
namespace {

// A failed step or check: what to print, and whether the temporary directory stays for inspection.
struct Failure {
    std::string message;
};

void expectLabel(const TavixMenu& menu, const std::string& expected, const char* when) {
    auto label = menu.connectionLabel();
    if (label != expected) {
        throw Failure{std::string("after ") + when + " the connection label is “" + label + "”, expected “" + expected +
                      "”"};
    }
}

void check(bool condition, const std::string& what) {
    if (!condition) throw Failure{what};
}

void write(const TavixMenu& menu, std::string_view data, std::string_view name) {
    if (auto error = menu.writePrivate(data, name)) throw Failure{error->description};
}

void checkAddresses() {
    for (const char* good : {"192.168.1.20:5555", "10.0.0.2:1", "pixel-7.local:65535", "192.168.1.20:+05555"}) {
        check(adbAddress(good), std::string("the phone address ") + good + " was refused");
    }
    for (const char* bad : {"192.168.1.20", ":5555", "192.168.1.20:0", "192.168.1.20:65536", "[fe80::1]:5555",
                            "-host:5555", "my_phone:5555", "192.168.1.20:55a5", "192.168.1.20:+"}) {
        check(!adbAddress(bad), std::string("the phone address ") + bad + " was accepted");
    }
}

}  // namespace

int runSelfTest(const std::function<std::unique_ptr<TavixMenu>()>& createMenu, std::ostream& out, std::ostream& err) {
    std::error_code error;
    auto temporary = std::filesystem::temp_directory_path(error);
    if (error) temporary = "/tmp";
    // TMPDIR may be relative ("." or "tmp"); the state directory must be an absolute path.
    temporary = std::filesystem::absolute(temporary, error);
    if (error) temporary = "/tmp";
    const auto directory = temporary / ("tavix-menu-test-" + makeUuid());
    ::setenv("TAVIX_HOME", directory.c_str(), 1);

    try {
        auto menu = createMenu();
        check(menu->root() == directory, "the state directory did not follow TAVIX_HOME");

        write(*menu, "test", "token");
        struct stat info {};
        check(::stat(directory.c_str(), &info) == 0 && (info.st_mode & 07777) == 0700,
              "the state directory was not created with mode 0700");

        Status status;
        status.at = menu->ports().clock.nowMilliseconds();
        status.connected = true;
        status.busy = "job";
        menu->setStatus(status);
        check(menu->fresh() && menu->working(), "a status written just now with a task is not fresh and working");
        expectLabel(*menu, "Task in progress", "a task started");

        write(*menu, "", "paused");
        expectLabel(*menu, "Pausing · current task finishing", "pausing during a task");

        status.busy = "";
        menu->setStatus(status);
        expectLabel(*menu, "Paused", "the task finished");

        write(*menu, "replaced", "token");
        if (::stat((directory / "token").c_str(), &info) != 0) {
            throw Failure{"Could not read the attributes of “token”: " + std::string(std::strerror(errno))};
        }
        check((info.st_mode & 07777) == 0600, "“token” does not have the permissions 0600");
        check(readFile(directory / "token") == "replaced", "“token” does not hold exactly the new content");
        for (const auto& entry : std::filesystem::directory_iterator(directory)) {
            check(entry.path().filename().string().rfind(".menu-", 0) != 0,
                  "a temporary file was left behind: " + entry.path().filename().string());
        }
        checkAddresses();
    } catch (const Failure& failure) {
        err << "Self-test failed: " << failure.message << "\n";
        if (entryExists(directory)) err << "The test directory is kept for inspection: " << directory.string() << "\n";
        return EXIT_FAILURE;
    } catch (const std::exception& exception) {
        err << "Self-test failed: " << exception.what() << "\n";
        return EXIT_FAILURE;
    }

    std::filesystem::remove_all(directory, error);
    if (error) {
        err << "Could not remove “" << directory.string() << "”: " << error.message() << "\n";
        return EXIT_FAILURE;
    }
    out << "Tavix menu: state, address and private-file checks passed\n";
    return EXIT_SUCCESS;
}

}  // namespace tavix
