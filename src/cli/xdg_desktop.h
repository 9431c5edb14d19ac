#pragma once

#include <optional>
#include <string>

#include "platform/desktop.h"

namespace tavix::cli {

// Hands locations to the desktop through xdg-open and waits for it, so that a failure can be told.
class XdgDesktop final : public Desktop {
  public:
    void openUrl(const std::string& url) override { open(url); }
    void openFile(const std::filesystem::path& path) override { open(path.string()); }

    // Why the last opening failed; nothing when it worked.
    const std::optional<std::string>& failure() const { return failure_; }

  private:
    void open(const std::string& location);
    std::optional<std::string> failure_;
};

// A graphical session is at hand (a display to open a browser on).
bool desktopAvailable();

}  // namespace tavix::cli
