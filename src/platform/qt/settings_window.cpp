#include "platform/qt/settings_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <utility>

#include "platform/qt/artwork.h"
#include "platform/qt/card.h"
#include "platform/qt/desktop_window.h"
#include "platform/qt/tavix_button.h"

namespace tavix {
namespace {

QRect toRect(const Frame& frame, double parentHeight) {
    const Frame f = frame.topLeft(parentHeight);
    return QRect(qRound(f.x), qRound(f.y), qRound(f.width), qRound(f.height));
}

// One line of text cut with "…" at the end when it does not fit; the whole text stays in the tooltip.
class TailLabel final : public QLabel {
  public:
    explicit TailLabel(QWidget* parent) : QLabel(parent) {
        setTextFormat(Qt::PlainText);
        // Text fields inset their text by two units on each side.
        setContentsMargins(2, 0, 2, 0);
        setIndent(0);
    }

    void setFullText(const QString& full) {
        if (set_ && full == full_) return;
        set_ = true;
        full_ = full;
        QString line = full.section(QLatin1Char('\n'), 0, 0);
        if (line.size() < full.size()) line += QStringLiteral("…");
        const QString shown = fontMetrics().elidedText(line, Qt::ElideRight, contentsRect().width());
        setText(shown);
        setToolTip(shown == full ? QString() : full);
        setAccessibleName(full);
    }
    const QString& fullText() const { return full_; }

  private:
    QString full_;
    bool set_ = false;
};

void setTextColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

}  // namespace

SettingsWindow::SettingsWindow() = default;
SettingsWindow::~SettingsWindow() = default;

QLabel* SettingsWindow::liveLabel(LiveLabel which) const {
    return live_[static_cast<std::size_t>(which)];
}

void SettingsWindow::build(const std::string& serverLine, CommandTarget& target) {
    if (window_) return;
    model_ = settingsModel(serverLine);
    window_ = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                     Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    QWidget* content = window_.get();
    content->setWindowTitle(QString::fromStdString(model_.title));
    content->setFixedSize(qRound(model_.width), qRound(model_.height));
    content->setAutoFillBackground(true);
    QPalette palette = content->palette();
    palette.setColor(QPalette::Window, toColor(model_.background));
    content->setPalette(palette);

    const double height = model_.height;
    for (const SettingsElement& element : model_.elements) {
        const QRect rect = toRect(element.frame, height);
        switch (element.kind) {
            case SettingsElement::Kind::logo: {
                auto* image = new QLabel(content);
                const qreal ratio = content->devicePixelRatioF();
                image->setPixmap(QPixmap::fromImage(logo(rect.width(), ratio)));
                image->setScaledContents(true);
                image->setGeometry(rect);
                break;
            }
            case SettingsElement::Kind::card: {
                auto* card = new Card(model_, content);
                card->setGeometry(rect);
                break;
            }
            case SettingsElement::Kind::label: {
                auto* label = new TailLabel(content);
                label->setFont(interfaceFont(element.fontSize, element.weight));
                label->setGeometry(rect);
                // Text fields draw their line from the top of the frame; the layout's frames are measured that way.
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                setTextColour(label, toColor(element.colour));
                label->setFullText(QString::fromStdString(element.text));
                if (element.live != LiveLabel::none) live_[static_cast<std::size_t>(element.live)] = label;
                break;
            }
            case SettingsElement::Kind::button: {
                auto* button = new TavixButton(QString::fromStdString(element.text), content);
                button->setGeometry(rect);
                button->setAccessibleName(QString::fromStdString(element.text));
                if (element.primary) {
                    button->fill = toColor(model_.primaryFill);
                    button->ink = toColor(model_.primaryInk);
                }
                const Command command = element.command;
                QObject::connect(button, &QAbstractButton::clicked, button,
                                 [&target, command] { target.perform(command); });
                break;
            }
        }
    }
    // Tab walks the buttons as they read: left to right, top to bottom.
    auto buttons = content->findChildren<TavixButton*>();
    std::sort(buttons.begin(), buttons.end(),
              [](const QWidget* a, const QWidget* b) { return std::pair(a->y(), a->x()) < std::pair(b->y(), b->x()); });
    for (qsizetype i = 1; i < buttons.size(); ++i) QWidget::setTabOrder(buttons[i - 1], buttons[i]);
}

void SettingsWindow::setLabels(const SettingsLabels& labels) {
    if (!window_) return;
    auto set = [this](LiveLabel which, const std::string& text) {
        if (auto* label = static_cast<TailLabel*>(liveLabel(which))) label->setFullText(QString::fromStdString(text));
    };
    set(LiveLabel::status, labels.status);
    set(LiveLabel::phone, labels.phone);
    set(LiveLabel::computer, labels.computer);
    set(LiveLabel::activity, labels.activity);
    if (QLabel* status = liveLabel(LiveLabel::status)) {
        setTextColour(status, toColor(labels.connected ? model_.connectedColour : model_.secondaryColour));
    }
}

bool SettingsWindow::focused() const {
    return window_ && window_->isActiveWindow();
}

void SettingsWindow::present(bool centre) {
    if (!window_) return;
    if (centre) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = window_->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            window_->move(frame.topLeft());
        }
    }
    window_->showNormal();
    window_->raise();
    requestActivation(window_.get());
}

}  // namespace tavix
