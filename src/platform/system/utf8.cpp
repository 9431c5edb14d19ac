#include "platform/system/utf8.h"

#include <utf8proc.h>

#include <cstring>

namespace tavix {
namespace {

const utf8proc_uint8_t* bytesOf(std::string_view text) {
    return reinterpret_cast<const utf8proc_uint8_t*>(text.data());
}

// Length of the sequence a lead byte starts, or 0 for a byte that cannot start one.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool validSequence(const char* data, std::size_t length) {
    utf8proc_int32_t codePoint = 0;
    auto used = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(data), static_cast<utf8proc_ssize_t>(length),
                                 &codePoint);
    return used == static_cast<utf8proc_ssize_t>(length);
}

constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

struct Walk {
    std::size_t bytes = 0;       // where the walk stopped
    std::size_t characters = 0;  // user-perceived characters begun before that
    bool cut = false;            // stopped by a limit rather than by the end of the text
};

// Walks valid UTF-8 text one user-perceived character at a time, stopping before character number `count` or
// inside a character after `perCharacter` of its code points, whichever comes first.
Walk walkCharacters(std::string_view text, std::size_t count, std::size_t perCharacter) {
    Walk walk;
    std::size_t inCharacter = 0;
    utf8proc_int32_t previous = -1;
    utf8proc_int32_t state = 0;
    const auto size = static_cast<utf8proc_ssize_t>(text.size());
    while (static_cast<utf8proc_ssize_t>(walk.bytes) < size) {
        utf8proc_int32_t codePoint = 0;
        const auto at = static_cast<utf8proc_ssize_t>(walk.bytes);
        const auto used = utf8proc_iterate(bytesOf(text) + at, size - at, &codePoint);
        if (used <= 0) break;
        if (previous < 0 || utf8proc_grapheme_break_stateful(previous, codePoint, &state)) {
            if (walk.characters == count) {
                walk.cut = true;
                break;
            }
            ++walk.characters;
            inCharacter = 0;
        }
        if (++inCharacter > perCharacter) {
            walk.cut = true;
            break;
        }
        previous = codePoint;
        walk.bytes += static_cast<std::size_t>(used);
    }
    return walk;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    Utf8Validator validator;
    validator.feed(text);
    return validator.valid();
}

std::size_t graphemeCount(std::string_view text) {
    return walkCharacters(text, kNoLimit, kNoLimit).characters;
}

std::string_view graphemePrefix(std::string_view text, std::size_t count) {
    if (count == 0) return text.substr(0, 0);
    const Walk walk = walkCharacters(text, count, kNoLimit);
    return walk.cut ? text.substr(0, walk.bytes) : text;
}

std::string_view displayPrefix(std::string_view text, std::size_t count) {
    return text.substr(0, walkCharacters(text, count, kMaxCharacterCodePoints).bytes);
}

void Utf8Validator::feed(std::string_view bytes) {
    if (!ok_) return;
    std::size_t at = 0;
    if (pendingLength_ > 0) {
        std::size_t need = sequenceLength(static_cast<unsigned char>(pending_[0]));
        while (pendingLength_ < need && at < bytes.size()) pending_[pendingLength_++] = bytes[at++];
        if (pendingLength_ < need) return;
        ok_ = validSequence(pending_, need);
        pendingLength_ = 0;
        if (!ok_) return;
    }
    while (at < bytes.size()) {
        auto lead = static_cast<unsigned char>(bytes[at]);
        if (lead < 0x80) {
            ++at;
            continue;
        }
        std::size_t need = sequenceLength(lead);
        if (need == 0) {
            ok_ = false;
            return;
        }
        if (at + need > bytes.size()) {
            pendingLength_ = bytes.size() - at;
            std::memcpy(pending_, bytes.data() + at, pendingLength_);
            // An impossible continuation is already wrong, whatever follows.
            for (std::size_t i = 1; i < pendingLength_; ++i) {
                if ((static_cast<unsigned char>(pending_[i]) & 0xC0) != 0x80) ok_ = false;
            }
            return;
        }
        if (!validSequence(bytes.data() + at, need)) {
            ok_ = false;
            return;
        }
        at += need;
    }
}

}  // namespace tavix
