#include "cli/qr_code.h"

#include "platform/system/qr_matrix.h"

namespace tavix::cli {
namespace {

// Black on white from the 256-colour table, whose entries 16 and 231 no colour scheme changes.
constexpr std::string_view kBlackOnWhite = "\x1b[38;5;16;48;5;231m";
constexpr std::string_view kReset = "\x1b[0m";

}  // namespace

std::optional<QrDrawing> qrBlocks(std::string_view text, bool colour) {
    const auto code = encodeQr(text);
    if (!code) return std::nullopt;
    const int size = code->width + 2 * kQuietZone;
    // A block marks an ink module: the dark ones in colour, the light ones without.
    auto ink = [&](int row, int column) {
        if (row >= size) return false;  // below the code: left as the background
        return code->at(row - kQuietZone, column - kQuietZone) == colour;
    };
    QrDrawing drawing{{}, size, (size + 1) / 2};
    for (int row = 0; row < size; row += 2) {
        if (colour) drawing.text += kBlackOnWhite;
        for (int column = 0; column < size; ++column) {
            const bool top = ink(row, column);
            const bool bottom = ink(row + 1, column);
            drawing.text += top && bottom ? "█" : top ? "▀" : bottom ? "▄" : " ";
        }
        if (colour) drawing.text += kReset;
        drawing.text += '\n';
    }
    return drawing;
}

}  // namespace tavix::cli
