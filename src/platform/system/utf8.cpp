#include "platform/system/utf8.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstdio>
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

// Characters that change the direction of the text around them: the embeddings, overrides and isolates, and the
// marks, which are format characters of a strong direction.
bool bidiControl(const utf8proc_property_t& property) {
    switch (property.bidi_class) {
        case UTF8PROC_BIDI_CLASS_LRE:
        case UTF8PROC_BIDI_CLASS_LRO:
        case UTF8PROC_BIDI_CLASS_RLE:
        case UTF8PROC_BIDI_CLASS_RLO:
        case UTF8PROC_BIDI_CLASS_PDF:
        case UTF8PROC_BIDI_CLASS_LRI:
        case UTF8PROC_BIDI_CLASS_RLI:
        case UTF8PROC_BIDI_CLASS_FSI:
        case UTF8PROC_BIDI_CLASS_PDI:
            return true;
        case UTF8PROC_BIDI_CLASS_L:
        case UTF8PROC_BIDI_CLASS_R:
        case UTF8PROC_BIDI_CLASS_AL:
            return property.category == UTF8PROC_CATEGORY_CF;
        default:
            return false;
    }
}

bool shownAsIs(utf8proc_int32_t codePoint) {
    const utf8proc_property_t* property = utf8proc_get_property(codePoint);
    switch (property->category) {
        case UTF8PROC_CATEGORY_CC:
        case UTF8PROC_CATEGORY_ZL:
        case UTF8PROC_CATEGORY_ZP:
            return false;
        default:
            return !bidiControl(*property);
    }
}

// A byte that is not UTF-8, or a code point, as its number.
void appendEscape(std::string& out, unsigned long value) {
    char escape[20];
    if (value < 0x100) {
        std::snprintf(escape, sizeof escape, "\\x%02lx", value);
    } else if (value < 0x10000) {
        std::snprintf(escape, sizeof escape, "\\u%04lx", value);
    } else {
        std::snprintf(escape, sizeof escape, "\\U%08lx", value);
    }
    out += escape;
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

std::string displayable(std::string_view text, bool oneLine) {
    std::string out;
    out.reserve(text.size());
    const auto size = static_cast<utf8proc_ssize_t>(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        // Printable ASCII, nearly all there is, goes as it is, a run at a time.
        std::size_t plain = at;
        while (plain < text.size() && text[plain] >= 0x20 && text[plain] < 0x7f) ++plain;
        out.append(text, at, plain - at);
        at = plain;
        if (at == text.size()) break;
        utf8proc_int32_t codePoint = 0;
        const auto used = utf8proc_iterate(bytesOf(text) + at, size - static_cast<utf8proc_ssize_t>(at), &codePoint);
        if (used <= 0) {
            appendEscape(out, static_cast<unsigned char>(text[at]));
            ++at;
            continue;
        }
        const bool lineBreak = codePoint == '\t' || codePoint == '\n';
        if (lineBreak && !oneLine) {
            out += static_cast<char>(codePoint);
        } else if (lineBreak || codePoint == '\r') {
            out += codePoint == '\t' ? "\\t" : codePoint == '\n' ? "\\n" : "\\r";
        } else if (shownAsIs(codePoint)) {
            out.append(text, at, static_cast<std::size_t>(used));
        } else {
            appendEscape(out, static_cast<unsigned long>(codePoint));
        }
        at += static_cast<std::size_t>(used);
    }
    return out;
}

std::size_t completeLength(std::string_view bytes) {
    // Only the last three bytes can begin a sequence that is still waiting for its end.
    for (std::size_t back = 1; back <= std::min<std::size_t>(3, bytes.size()); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((byte & 0xC0) == 0x80) continue;
        return sequenceLength(byte) > back ? bytes.size() - back : bytes.size();
    }
    return bytes.size();
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
