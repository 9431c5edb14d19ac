#pragma once

#include <filesystem>
#include <string>

namespace tavix {

// Hands a location to the desktop's default handler; the outcome is the desktop's business.
class Desktop {
  public:
    virtual ~Desktop() = default;
    virtual void openUrl(const std::string& url) = 0;
    virtual void openFile(const std::filesystem::path& path) = 0;
};

}  // namespace tavix
