#include "cli/qr_code.h"

#include <qrencode.h>

#include <memory>
#include <vector>

namespace tavix::cli {
namespace {

// Black on white from the 256-colour table, whose entries 16 and 231 no colour scheme changes.
constexpr std::string_view kBlackOnWhite = "\x1b[38;5;16;48;5;231m";
constexpr std::string_view kReset = "\x1b[0m";

}  // namespace

std::optional<std::string> qrBlocks(std::string_view text, bool colour) {
    const std::string data(text);
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(QRcode_encodeString8bit(data.c_str(), 0, QR_ECLEVEL_L),
                                                         QRcode_free);
    if (!code) return std::nullopt;
    const int width = code->width;
    const int size = width + 2 * kQuietZone;
    // A block marks an ink module: the dark ones in colour, the light ones without.
    auto ink = [&](int row, int column) {
        bool dark = false;
        const int r = row - kQuietZone;
        const int c = column - kQuietZone;
        if (r >= 0 && r < width && c >= 0 && c < width) dark = (code->data[r * width + c] & 1) != 0;
        if (row >= size) return false;  // below the code: left as the background
        return dark == colour;
    };
    std::string drawing;
    for (int row = 0; row < size; row += 2) {
        if (colour) drawing += kBlackOnWhite;
        for (int column = 0; column < size; ++column) {
            const bool top = ink(row, column);
            const bool bottom = ink(row + 1, column);
            drawing += top && bottom ? "█" : top ? "▀" : bottom ? "▄" : " ";
        }
        if (colour) drawing += kReset;
        drawing += '\n';
    }
    return drawing;
}

}  // namespace tavix::cli
