#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <ostream>

#include "platform/system/unique_fd.h"
#include "platform/error.h"

namespace tavix::cli {

// The bridge's log, read from where the last read ended. A log that is cut short or replaced (rotated) is read
// again from its start.
class LogFile {
  public:
    explicit LogFile(std::filesystem::path path) : path_(std::move(path)) {}

    // Opens the log; the error when it cannot be read.
    std::optional<Error> open();
    // Copies what the log holds beyond what was copied before.
    void copyNew(std::ostream& out);

  private:
    void copyRest(std::ostream& out);

    std::filesystem::path path_;
    UniqueFd fd_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    off_t offset_ = 0;
};

}  // namespace tavix::cli
