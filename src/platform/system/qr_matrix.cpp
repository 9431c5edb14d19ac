#include "platform/system/qr_matrix.h"

#include <qrencode.h>

#include <memory>
#include <string>

#include "platform/system/loaded_library.h"

namespace tavix {
namespace {

struct Qrencode {
    decltype(&QRcode_encodeString8bit) encode = nullptr;
    decltype(&QRcode_free) free = nullptr;
};

// libqrencode, loaded the first time a code is drawn; nothing when it is missing.
const Qrencode* qrencode() {
    static const Qrencode* const loaded = []() -> const Qrencode* {
        static Qrencode functions;
        void* library = loadLibrary("libqrencode.so.4");
        const bool complete = library != nullptr && resolve(library, "QRcode_encodeString8bit", functions.encode) &&
                              resolve(library, "QRcode_free", functions.free);
        return complete ? &functions : nullptr;
    }();
    return loaded;
}

}  // namespace

std::optional<QrMatrix> encodeQr(std::string_view text) {
    const Qrencode* library = qrencode();
    if (library == nullptr) return std::nullopt;
    const std::string data(text);
    std::unique_ptr<QRcode, decltype(library->free)> code(library->encode(data.c_str(), 0, QR_ECLEVEL_L),
                                                          library->free);
    if (!code) return std::nullopt;
    QrMatrix matrix;
    matrix.width = code->width;
    matrix.dark.resize(static_cast<std::size_t>(code->width) * static_cast<std::size_t>(code->width));
    for (std::size_t i = 0; i < matrix.dark.size(); ++i) matrix.dark[i] = (code->data[i] & 1) != 0;
    return matrix;
}

}  // namespace tavix
