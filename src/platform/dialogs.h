#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavix {

struct FormField {
    std::string label;
    std::string value;
    bool secure = false;
};

// How the command that raises an alert went, so that a front end can show it without reading its words.
enum class Outcome {
    done,     // it did what was asked, or it only informs
    refused,  // it did not start: not now, or not with these answers
    failed,   // it started and did not succeed
};

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // Queues a message with one dismiss button and returns at once; it opens on a later main-thread turn.
    virtual void alert(const std::string& title, const std::string& text, Outcome outcome) = 0;
    // Blocks in a modal loop. The answers are trimmed, one per field; nothing when not confirmed.
    virtual std::optional<std::vector<std::string>> form(const std::string& title, const std::string& text,
                                                         const std::vector<FormField>& fields,
                                                         const std::string& button) = 0;
    // Blocks in a modal loop; true only when the confirming button (first, default) is chosen.
    virtual bool confirm(const std::string& title, const std::string& text, const std::string& button) = 0;
    // Brings the form or question that is open forward (one is asked for while another waits for its answer).
    virtual void raiseOpen() = 0;

    // The QR code a phone scans to pair, with what to do on the phone; it stays until closePairingCode(). `cancel`
    // is called when the user gives up from there. Nothing when it is shown, else why it cannot be.
    virtual std::optional<std::string> showPairingCode(const std::string& payload, const std::string& steps,
                                                       std::function<void()> cancel) = 0;
    // A new line of progress under the code ("Waiting for the phone…", …).
    virtual void pairingProgress(const std::string& text) = 0;
    virtual void closePairingCode() = 0;
};

}  // namespace tavix
