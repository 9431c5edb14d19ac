#include "platform/qt/qt_dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <utility>

#include "platform/qt/artwork.h"
#include "platform/qt/pairing_window.h"
#include "platform/system/qr_matrix.h"

namespace tavix {
namespace {

constexpr int kFieldBand = 62;
constexpr int kAccessoryWidth = 360;
// A message box's text is at most this wide before it wraps (Qt's own soft limit).
constexpr int kAlertTextWidth = 500;
constexpr int kAlertLines = 16;

// Two overlapping filled speech bubbles, the icon of the application's messages.
QPixmap speechBubbles(int size, qreal ratio) {
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.fill(Qt::transparent);
    pixmap.setDevicePixelRatio(ratio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    auto bubble = [&](QRectF body, QPointF tailBase, QPointF tailTip, QColor colour) {
        QPainterPath path;
        path.addRoundedRect(body, body.height() * 0.42, body.height() * 0.42);
        QPainterPath tail;
        tail.moveTo(tailBase);
        tail.lineTo(tailTip);
        tail.lineTo(tailBase + QPointF(body.width() * 0.16, 0));
        tail.closeSubpath();
        painter.fillPath(path.united(tail), colour);
    };
    bubble(QRectF(0.30 * s, 0.30 * s, 0.66 * s, 0.46 * s), QPointF(0.72 * s, 0.72 * s), QPointF(0.86 * s, 0.92 * s),
           QColor::fromRgbF(0.4f, 0.7f, 0.98f));
    bubble(QRectF(0.04 * s, 0.08 * s, 0.66 * s, 0.46 * s), QPointF(0.16 * s, 0.50 * s), QPointF(0.10 * s, 0.72 * s),
           QColor::fromRgbF(0.58f, 0.94f, 0.73f));
    return pixmap;
}

QLabel* plainLabel(const std::string& text, QWidget* parent) {
    // Shown as typed: a child program's output or a server's reply must never be read as markup.
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(QString::fromStdString(text));
    return label;
}

// The application's question dialog: icon, bold title, text, optional fields, then the confirming button (the
// default, Return) and "Cancel" (Escape), in that order whatever the desktop's button convention.
struct Question {
    QDialog dialog;
    QWidget* accessory = nullptr;
    QPushButton* confirm = nullptr;
    QPushButton* cancel = nullptr;

    Question(const std::string& title, const std::string& text, const std::vector<FormField>& fields,
             const std::string& button) {
        dialog.setWindowTitle(QStringLiteral("Tavix Link"));
        auto* layout = new QGridLayout(&dialog);
        layout->setSizeConstraint(QLayout::SetFixedSize);

        auto* icon = new QLabel(&dialog);
        icon->setPixmap(QPixmap::fromImage(logo(64, dialog.devicePixelRatioF())));
        icon->setAlignment(Qt::AlignTop);
        layout->addWidget(icon, 0, 0, 4, 1);

        QLabel* heading = plainLabel(title, &dialog);
        heading->setObjectName(QStringLiteral("title"));
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        layout->addWidget(heading, 0, 1);

        QLabel* message = plainLabel(text, &dialog);
        message->setObjectName(QStringLiteral("text"));
        message->setWordWrap(true);
        message->setFixedWidth(kAccessoryWidth);
        layout->addWidget(message, 1, 1);

        accessory = QtDialogs::formAccessory(fields, &dialog);
        layout->addWidget(accessory, 2, 1);

        auto* buttons = new QHBoxLayout;
        buttons->addStretch(1);
        confirm = new QPushButton(QString::fromStdString(button), &dialog);
        cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
        confirm->setDefault(true);
        buttons->addWidget(confirm);
        buttons->addWidget(cancel);
        layout->addLayout(buttons, 3, 1);
        QObject::connect(confirm, &QPushButton::clicked, &dialog, &QDialog::accept);
        QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    }
};

QRect availableScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

// A text fits a message box when its lines wrap at word boundaries within the box's width and there are few of
// them: a longer one would push the button off the screen, and a long word would be cut at the box's edge.
bool fitsMessageBox(const QString& text, const QFont& font) {
    const QFontMetrics metrics(font);
    const int maxHeight = std::min(kAlertLines * metrics.lineSpacing(), availableScreen().height() / 3);
    const QRect needed = metrics.boundingRect(QRect(0, 0, kAlertTextWidth, 1 << 20), Qt::TextWordWrap, text);
    return needed.width() <= kAlertTextWidth && needed.height() <= maxHeight;
}

// The alert for a long text: the title, then the text in a scrolling, selectable area that wraps anywhere, and the
// button below it, always on the screen.
struct LongAlert {
    QDialog dialog;

    LongAlert(const QString& title, const QString& text) {
        dialog.setWindowTitle(QStringLiteral("Tavix Link"));
        auto* layout = new QGridLayout(&dialog);
        layout->setSizeConstraint(QLayout::SetFixedSize);

        auto* iconLabel = new QLabel(&dialog);
        iconLabel->setPixmap(speechBubbles(64, dialog.devicePixelRatioF()));
        iconLabel->setAlignment(Qt::AlignTop);
        layout->addWidget(iconLabel, 0, 0, 2, 1);

        auto* heading = new QLabel(&dialog);
        heading->setObjectName(QStringLiteral("title"));
        heading->setTextFormat(Qt::PlainText);
        heading->setText(title);
        heading->setWordWrap(true);
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        layout->addWidget(heading, 0, 1);

        auto* area = new QPlainTextEdit(&dialog);
        area->setObjectName(QStringLiteral("text"));
        area->setReadOnly(true);
        area->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        area->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        area->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setPlainText(text);
        // As tall as the text needs, but leaving room on the screen for the title, the button and the frame.
        const QFontMetrics metrics(area->font());
        const int frame = 2 * area->frameWidth() + 2 * int(area->document()->documentMargin());
        const int width = kAlertTextWidth + frame + area->verticalScrollBar()->sizeHint().width();
        const int wanted =
            metrics.boundingRect(QRect(0, 0, kAlertTextWidth, 1 << 20), Qt::TextWrapAnywhere, text).height() + frame;
        const QRect screen = availableScreen();
        area->setFixedSize(std::min(width, screen.width() - 140),
                           std::max(6 * metrics.lineSpacing(), std::min(wanted, screen.height() - 220)));
        layout->addWidget(area, 1, 1);

        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
        layout->addWidget(buttons, 2, 0, 1, 2);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        buttons->button(QDialogButtonBox::Ok)->setDefault(true);
        buttons->button(QDialogButtonBox::Ok)->setFocus();
        dialog.setAccessibleDescription(QStringLiteral("Tavix"));
    }
};

}  // namespace

QtDialogs::QtDialogs() = default;
QtDialogs::~QtDialogs() = default;

void QtDialogs::alert(const std::string& title, const std::string& text, Outcome) {
    alerts_.push_back({title, text});
    // Queued: the caller finishes its work first and is never blocked by the box. Boxes come one at a time, in the
    // order they were asked for, rather than stacking the newest on top.
    if (!showingAlerts_ && alerts_.size() == 1) QTimer::singleShot(0, this, &QtDialogs::showAlerts);
}

void QtDialogs::showAlerts() {
    if (showingAlerts_) return;
    showingAlerts_ = true;
    while (!alerts_.empty()) {
        const Message message = std::move(alerts_.front());
        alerts_.pop_front();
        const QString title = QString::fromStdString(message.title);
        const QString text = QString::fromStdString(message.text);
        if (!fitsMessageBox(text, QFont())) {
            LongAlert alert(title, text);
            Q_EMIT dialogShown(&alert.dialog);
            alert.dialog.exec();
            continue;
        }
        QMessageBox box;
        box.setWindowTitle(QStringLiteral("Tavix Link"));
        box.setTextFormat(Qt::PlainText);
        box.setText(title);
        box.setInformativeText(text);
        for (QLabel* label : box.findChildren<QLabel*>()) {
            if (label->objectName() == QLatin1String("qt_msgbox_informativelabel")) label->setTextFormat(Qt::PlainText);
            if (label->objectName() == QLatin1String("qt_msgbox_label")) {
                QFont bold = label->font();
                bold.setBold(true);
                label->setFont(bold);
            }
        }
        box.setIconPixmap(speechBubbles(64, box.devicePixelRatioF()));
        box.setStandardButtons(QMessageBox::Ok);
        box.setAccessibleDescription(QStringLiteral("Tavix"));
        Q_EMIT dialogShown(&box);
        box.exec();
    }
    showingAlerts_ = false;
}

QWidget* QtDialogs::formAccessory(const std::vector<FormField>& fields, QWidget* parent) {
    auto* accessory = new QWidget(parent);
    const int n = static_cast<int>(fields.size());
    accessory->setFixedSize(kAccessoryWidth, kFieldBand * n);
    QWidget* previous = nullptr;
    for (int i = 0; i < n; ++i) {
        const FormField& field = fields[static_cast<std::size_t>(i)];
        QLabel* label = plainLabel(field.label, accessory);
        label->setGeometry(0, i * kFieldBand + 8, kAccessoryWidth, 20);
        auto* input = new QLineEdit(QString::fromStdString(field.value), accessory);
        input->setObjectName(QStringLiteral("field%1").arg(i));
        input->setGeometry(0, i * kFieldBand + 32, kAccessoryWidth, 26);
        input->setEchoMode(field.secure ? QLineEdit::Password : QLineEdit::Normal);
        // A screen reader announces the field by its label.
        input->setAccessibleName(QString::fromStdString(field.label));
        label->setBuddy(input);
        if (previous != nullptr) QWidget::setTabOrder(previous, input);
        previous = input;
    }
    return accessory;
}

std::optional<std::vector<std::string>> QtDialogs::form(const std::string& title, const std::string& text,
                                                        const std::vector<FormField>& fields,
                                                        const std::string& button) {
    Question question(title, text, fields, button);
    std::vector<QLineEdit*> inputs;
    for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
        inputs.push_back(question.accessory->findChild<QLineEdit*>(QStringLiteral("field%1").arg(i)));
    }
    if (!inputs.empty()) inputs.front()->setFocus();

    Q_EMIT dialogShown(&question.dialog);
    if (exec(question.dialog) != QDialog::Accepted) return std::nullopt;
    std::vector<std::string> answers;
    answers.reserve(inputs.size());
    for (QLineEdit* input : inputs) answers.push_back(input->text().trimmed().toStdString());
    return answers;
}

bool QtDialogs::confirm(const std::string& title, const std::string& text, const std::string& button) {
    Question question(title, text, {}, button);
    question.accessory->hide();
    Q_EMIT dialogShown(&question.dialog);
    return exec(question.dialog) == QDialog::Accepted;
}

int QtDialogs::exec(QDialog& dialog) {
    QPointer<QDialog> outer = open_;
    open_ = &dialog;
    const int result = dialog.exec();
    open_ = outer;
    return result;
}

void QtDialogs::raiseOpen() {
    QWidget* open = open_ ? static_cast<QWidget*>(open_.data()) : pairingWindow();
    if (open == nullptr) return;
    open->showNormal();
    open->raise();
    open->activateWindow();
}

std::optional<std::string> QtDialogs::showPairingCode(const std::string& payload, const std::string& steps,
                                                      std::function<void()> cancel) {
    const auto code = encodeQr(payload);
    if (!code) return "The QR code could not be made.";
    pairing_ = std::make_unique<PairingWindow>(*code, QString::fromStdString(steps), std::move(cancel));
    Q_EMIT dialogShown(pairing_.get());
    pairing_->show();
    pairing_->raise();
    pairing_->activateWindow();
    return std::nullopt;
}

void QtDialogs::pairingProgress(const std::string& text) {
    if (pairing_) pairing_->setProgress(QString::fromStdString(text));
}

void QtDialogs::closePairingCode() {
    if (!pairing_) return;
    pairing_->dismiss();
    // Later: this may be called from the window's own Cancel.
    pairing_.release()->deleteLater();
}

QWidget* QtDialogs::pairingWindow() const {
    return pairing_.get();
}

}  // namespace tavix
