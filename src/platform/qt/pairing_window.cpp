#include "platform/qt/pairing_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "platform/qt/artwork.h"
#include "platform/qt/card.h"
#include "platform/qt/tavix_button.h"

namespace tavix {
namespace {

constexpr int kMargin = 24;
constexpr int kCardWidth = 512;
constexpr int kCardPadding = 24;
// Six pixels a module keeps a code of a few dozen modules easy to scan from a screen.
constexpr int kModulePixels = 6;

// The code as a picture: dark modules on white with the quiet zone, which scanners need whatever the window's colours.
QPixmap codePicture(const QrMatrix& code, qreal ratio) {
    const int scale = qRound(kModulePixels * ratio);
    const int modules = code.width + 2 * kQuietZone;
    QImage image(modules * scale, modules * scale, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int row = 0; row < code.width; ++row) {
        for (int column = 0; column < code.width; ++column) {
            if (code.at(row, column)) {
                painter.fillRect((column + kQuietZone) * scale, (row + kQuietZone) * scale, scale, scale, Qt::black);
            }
        }
    }
    painter.end();
    image.setDevicePixelRatio(ratio);
    return QPixmap::fromImage(image);
}

// The narrowest width up to `widest` at which `text` takes no more lines than at `widest`: a sentence that needs
// two lines reads better as two of even length than as a long one and a stub.
int balancedWidth(const QFontMetrics& metrics, const QString& text, int widest) {
    const auto lines = [&](int width) {
        return metrics.boundingRect(QRect(0, 0, width, 1 << 16), Qt::TextWordWrap, text).height() /
               metrics.lineSpacing();
    };
    const int needed = lines(widest);
    int width = std::min(widest, metrics.horizontalAdvance(text) / std::max(needed, 1));
    while (width < widest && lines(width) > needed) width += 4;
    return std::min(width, widest);
}

QLabel* label(const QString& text, qreal size, int weight, const QColor& colour, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(interfaceFont(size, weight));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

}  // namespace

PairingWindow::PairingWindow(const QrMatrix& code, const QString& steps, std::function<void()> cancel)
    : cancel_(std::move(cancel)) {
    const SettingsModel look;
    const QColor white = toColor(Rgba::white(1));
    setWindowTitle(QString::fromStdString(look.title));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, toColor(look.background));
    setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(18);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(4, 0, 0, 0);
    header->setSpacing(14);
    auto* logoLabel = new QLabel(this);
    logoLabel->setPixmap(QPixmap::fromImage(logo(48, devicePixelRatioF())));
    header->addWidget(logoLabel, 0, Qt::AlignTop);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(label(QStringLiteral("Pair Android Phone"), 22, 700, white, this));
    titles->addWidget(label(QStringLiteral("Both devices must be on the same network."), 13, 400,
                            toColor(look.secondaryColour), this));
    header->addLayout(titles, 1);
    layout->addLayout(header);

    auto* card = new Card(look, this);
    card->setFixedWidth(kCardWidth);
    auto* inside = new QVBoxLayout(card);
    inside->setContentsMargins(kCardPadding, kCardPadding, kCardPadding, kCardPadding);
    inside->setSpacing(14);
    auto* picture = new QLabel(card);
    picture->setObjectName(QStringLiteral("code"));
    picture->setPixmap(codePicture(code, devicePixelRatioF()));
    picture->setAccessibleName(QStringLiteral("QR code for pairing"));
    inside->addWidget(picture, 0, Qt::AlignHCenter);
    QLabel* stepsLabel = label(steps, 12, 400, toColor(look.secondaryColour), card);
    stepsLabel->setObjectName(QStringLiteral("steps"));
    stepsLabel->setWordWrap(true);
    stepsLabel->setAlignment(Qt::AlignHCenter);
    stepsLabel->setFixedWidth(balancedWidth(stepsLabel->fontMetrics(), steps, kCardWidth - 2 * kCardPadding));
    inside->addWidget(stepsLabel, 0, Qt::AlignHCenter);
    progress_ = label({}, 15, 600, toColor(look.connectedColour), card);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setWordWrap(true);
    progress_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    // Room for two lines from the start, so that a longer step does not resize the window under the user.
    progress_->setFixedHeight(2 * progress_->fontMetrics().lineSpacing());
    inside->addWidget(progress_);
    layout->addWidget(card);

    auto* cancelButton = new TavixButton(QStringLiteral("Cancel"), this);
    cancelButton->setFixedSize(249, 44);
    cancelButton->setAccessibleName(QStringLiteral("Cancel"));
    layout->addWidget(cancelButton, 0, Qt::AlignHCenter);
    connect(cancelButton, &QAbstractButton::clicked, this, &QDialog::reject);
}

void PairingWindow::setProgress(const QString& text) {
    progress_->setText(text);
}

void PairingWindow::dismiss() {
    cancel_ = nullptr;
    hide();
}

void PairingWindow::done(int result) {
    QDialog::done(result);
    if (auto cancel = std::exchange(cancel_, nullptr)) cancel();
}

}  // namespace tavix
