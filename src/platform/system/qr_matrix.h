#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace tavix {

// A QR code's modules, row by row (libqrencode, error correction level L).
struct QrMatrix {
    int width = 0;
    std::vector<bool> dark;  // width × width

    bool at(int row, int column) const {
        return row >= 0 && row < width && column >= 0 && column < width &&
               dark[static_cast<std::size_t>(row * width + column)];
    }
};

// Modules of quiet zone around the code, as scanners expect.
inline constexpr int kQuietZone = 4;

// `text` as a QR code; nothing when it does not fit in one, or libqrencode is missing.
std::optional<QrMatrix> encodeQr(std::string_view text);

}  // namespace tavix
