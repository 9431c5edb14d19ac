#pragma once

#include <QAbstractButton>
#include <QColor>

namespace tavix {

// The settings window's flat, rounded push button.
class TavixButton final : public QAbstractButton {
    Q_OBJECT
  public:
    explicit TavixButton(const QString& title, QWidget* parent = nullptr);

    // Replacing either colour takes effect at the next repaint.
    QColor fill = QColor::fromRgbF(0.14f, 0.18f, 0.18f, 1.0f);
    QColor ink = Qt::white;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    // The focus ring shows once the keyboard is in use, not for the focus a window gives its first button.
    bool focusRing_ = false;
};

}  // namespace tavix
