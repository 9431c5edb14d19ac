#pragma once

#include <QColor>
#include <QWidget>

#include "ui/settings_model.h"

namespace tavix {

QColor toColor(const Rgba& colour);

// The settings window's rounded panel with a hairline border, in the model's colours.
class Card final : public QWidget {
  public:
    Card(const SettingsModel& model, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor fill_;
    QColor border_;
    qreal radius_;
};

}  // namespace tavix
