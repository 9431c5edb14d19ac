#include "control/process_text.h"

#include <utf8proc.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace tavix {
namespace {

// Length of the longest run of whole code points at the start of `text`.
std::size_t wholeCodePoints(std::string_view text) {
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    const auto size = static_cast<utf8proc_ssize_t>(text.size());
    utf8proc_ssize_t at = 0;
    while (at < size) {
        utf8proc_int32_t codePoint = 0;
        const auto used = utf8proc_iterate(bytes + at, size - at, &codePoint);
        if (used <= 0) break;
        at += used;
    }
    return static_cast<std::size_t>(at);
}

}  // namespace

std::string inputBytes(const std::optional<std::string>& input) {
    return input ? *input + "\n" : std::string();
}

std::string quotedCommand(const std::string& executable, const std::vector<std::string>& arguments) {
    std::string command = std::filesystem::path(executable).filename().string();
    for (const auto& argument : arguments) command += " " + argument;
    return "“" + command + "”";
}

std::string unfinishedText(const std::string& command, double seconds) {
    std::ostringstream text;
    text << command << " did not finish within " << seconds << (seconds == 1 ? " second" : " seconds")
         << " and was stopped.";
    return text.str();
}

std::string outputOrStatus(const std::string& output, const std::string& command, std::int32_t status) {
    if (!output.empty()) return output;
    if (status == 0) return command + " printed nothing.";
    return command + " failed with status " + std::to_string(status) + " and printed nothing.";
}

std::string shapeOutput(std::string_view bytes) {
    if (!isValidUtf8(bytes)) return {};
    return std::string(graphemePrefix(bytes, kOutputCharacters));
}

void OutputCollector::feed(std::string_view bytes) {
    validator_.feed(bytes);
    if (settled_) return;
    kept_.append(bytes.substr(0, kKeepLimit - kept_.size()));
    if (kept_.size() >= kKeepLimit) {
        kept_.resize(wholeCodePoints(kept_));
        settle();
        return;
    }
    // Looking again only after the kept text has doubled keeps the work linear when the output trickles in.
    if (kept_.size() < nextCheck_) return;
    nextCheck_ = std::min(kept_.size() * 2, kKeepLimit);
    // A character boundary depends only on what precedes it and the code point right after: once a further
    // character has begun, the first kOutputCharacters can no longer change.
    if (graphemePrefix(kept_, kOutputCharacters).size() < kept_.size()) settle();
}

void OutputCollector::settle() {
    kept_.resize(graphemePrefix(kept_, kOutputCharacters).size());
    kept_.shrink_to_fit();
    settled_ = true;
}

std::string OutputCollector::text() const {
    if (!validator_.valid()) return {};
    return std::string(graphemePrefix(kept_, kOutputCharacters));
}

}  // namespace tavix
