#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/error.h"
#include "platform/system/unique_fd.h"

namespace tavix::cli {

// The bridge's log, read from where the last read ended, a bounded piece at a time. Only a regular file is read,
// so neither opening nor reading ever waits (on a FIFO or a device). Followed, a log that is cut short or replaced
// (rotated) is read again from its start.
class LogFile {
  public:
    explicit LogFile(std::filesystem::path path) : path_(std::move(path)) {}

    // Opens the log; the error when it cannot be read (code ENOENT when there is none).
    std::optional<Error> open();
    // Reads only the last `lines` lines of what the log held when opened.
    void startAtLastLines(std::size_t lines);
    // Appends what the log holds beyond what was read before, at most `limit` bytes; true when more is waiting.
    // Unless followed, the log ends where it ended when opened.
    bool read(std::string& into, std::size_t limit, bool follow);

  private:
    bool readRange(std::string& into, std::size_t limit, off_t end);

    std::filesystem::path path_;
    UniqueFd fd_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    off_t offset_ = 0;
    off_t end_ = 0;  // the size when opened
};

}  // namespace tavix::cli
