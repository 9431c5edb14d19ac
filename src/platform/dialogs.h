#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavix {

struct FormField {
    std::string label;
    std::string value;
    bool secure = false;
};

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // Queues a message with one dismiss button and returns at once; it opens on a later main-thread turn.
    virtual void alert(const std::string& title, const std::string& text) = 0;
    // Blocks in a modal loop. The answers are trimmed, one per field; nothing when not confirmed.
    virtual std::optional<std::vector<std::string>> form(const std::string& title, const std::string& text,
                                                         const std::vector<FormField>& fields,
                                                         const std::string& button) = 0;
    // Blocks in a modal loop; true only when the confirming button (first, default) is chosen.
    virtual bool confirm(const std::string& title, const std::string& text, const std::string& button) = 0;
};

}  // namespace tavix
