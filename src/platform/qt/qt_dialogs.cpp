#include "platform/qt/qt_dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/qt/artwork.h"

namespace tavix {
namespace {

constexpr int kFieldBand = 62;
constexpr int kAccessoryWidth = 360;

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

// Message text is shown as typed: output of a child program must never be read as markup.
void setPlainTexts(QMessageBox& box, const std::string& title, const std::string& text) {
    box.setWindowTitle(QStringLiteral("Tavix Link"));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(title));
    box.setInformativeText(QString::fromStdString(text));
    for (QLabel* label : box.findChildren<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
        if (label->objectName() == QLatin1String("qt_msgbox_label")) {
            QFont bold = label->font();
            bold.setBold(true);
            label->setFont(bold);
        }
    }
}

}  // namespace

void QtDialogs::alert(const std::string& title, const std::string& text) {
    // Queued: the caller finishes its work first and is never blocked by the box.
    QTimer::singleShot(0, this, [this, title, text] {
        QMessageBox box;
        setPlainTexts(box, title, text);
        box.setIconPixmap(speechBubbles(64, box.devicePixelRatioF()));
        box.setStandardButtons(QMessageBox::Ok);
        box.setAccessibleDescription(QStringLiteral("Tavix"));
        Q_EMIT dialogShown(&box);
        box.exec();
    });
}

QWidget* QtDialogs::formAccessory(const std::vector<FormField>& fields, QWidget* parent) {
    auto* accessory = new QWidget(parent);
    const int n = static_cast<int>(fields.size());
    accessory->setFixedSize(kAccessoryWidth, kFieldBand * n);
    QWidget* previous = nullptr;
    for (int i = 0; i < n; ++i) {
        const FormField& field = fields[static_cast<std::size_t>(i)];
        auto* label = new QLabel(QString::fromStdString(field.label), accessory);
        label->setTextFormat(Qt::PlainText);
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
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Tavix Link"));
    auto* layout = new QGridLayout(&dialog);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto* icon = new QLabel(&dialog);
    icon->setPixmap(QPixmap::fromImage(logo(64, dialog.devicePixelRatioF())));
    icon->setAlignment(Qt::AlignTop);
    layout->addWidget(icon, 0, 0, 4, 1);

    auto* heading = new QLabel(QString::fromStdString(title), &dialog);
    heading->setTextFormat(Qt::PlainText);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading, 0, 1);

    auto* message = new QLabel(QString::fromStdString(text), &dialog);
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    message->setFixedWidth(kAccessoryWidth);
    layout->addWidget(message, 1, 1);

    QWidget* accessory = formAccessory(fields, &dialog);
    layout->addWidget(accessory, 2, 1);

    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* confirm = buttons->addButton(QString::fromStdString(button), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    confirm->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons, 3, 1);

    const auto inputs = accessory->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
    if (!inputs.isEmpty()) inputs.first()->setFocus();

    Q_EMIT dialogShown(&dialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    std::vector<std::string> answers;
    answers.reserve(fields.size());
    for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
        auto* input = accessory->findChild<QLineEdit*>(QStringLiteral("field%1").arg(i));
        answers.push_back(input->text().trimmed().toStdString());
    }
    return answers;
}

bool QtDialogs::confirm(const std::string& title, const std::string& text, const std::string& button) {
    QMessageBox box;
    setPlainTexts(box, title, text);
    box.setIconPixmap(QPixmap::fromImage(logo(64, box.devicePixelRatioF())));
    QPushButton* confirmButton = box.addButton(QString::fromStdString(button), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(confirmButton);
    box.setEscapeButton(cancel);
    Q_EMIT dialogShown(&box);
    box.exec();
    return box.clickedButton() == confirmButton;
}

}  // namespace tavix
