#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavix::cli {

struct QrDrawing {
    std::string text;  // lines ending in a line feed
    int columns = 0;
    int rows = 0;
};

// `text` as a QR code drawn with Unicode half blocks, two rows of modules a line, quiet zone included. With
// colour the blocks are the dark modules, drawn black on white whatever the terminal's own colours; without, the
// blocks are the light modules, so the code reads right in the usual light text on a dark background. Nothing when
// the text does not fit in a QR code.
std::optional<QrDrawing> qrBlocks(std::string_view text, bool colour);

}  // namespace tavix::cli
