#pragma once

#include "platform/desktop.h"

namespace tavix {

// Opens locations with the desktop's default handler (xdg-open and friends).
class DesktopOpener final : public Desktop {
  public:
    void openUrl(const std::string& url) override;
    void openFile(const std::filesystem::path& path) override;
};

}  // namespace tavix
