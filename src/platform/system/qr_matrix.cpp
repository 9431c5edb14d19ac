#include "platform/system/qr_matrix.h"

#include <qrencode.h>

#include <memory>
#include <string>

namespace tavix {

std::optional<QrMatrix> encodeQr(std::string_view text) {
    const std::string data(text);
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(QRcode_encodeString8bit(data.c_str(), 0, QR_ECLEVEL_L),
                                                         QRcode_free);
    if (!code) return std::nullopt;
    QrMatrix matrix;
    matrix.width = code->width;
    matrix.dark.resize(static_cast<std::size_t>(code->width) * static_cast<std::size_t>(code->width));
    for (std::size_t i = 0; i < matrix.dark.size(); ++i) matrix.dark[i] = (code->data[i] & 1) != 0;
    return matrix;
}

}  // namespace tavix
