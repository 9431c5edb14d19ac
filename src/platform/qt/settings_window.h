#pragma once

#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>

#include "platform/settings_view.h"
#include "ui/settings_model.h"

class QLabel;

namespace tavix {

// The fixed 560 × 600 settings window, built from the core's model on first use and kept (closing only hides it).
class SettingsWindow final : public SettingsView {
  public:
    SettingsWindow();
    ~SettingsWindow() override;

    void build(const std::string& serverLine, CommandTarget& target) override;
    void setLabels(const SettingsLabels& labels) override;
    void present(bool centre) override;
    bool focused() const override;

    QWidget* window() const { return window_.get(); }
    QLabel* liveLabel(LiveLabel which) const;

  private:
    std::unique_ptr<QWidget> window_;
    std::array<QLabel*, 5> live_{};
    SettingsModel model_;
};

}  // namespace tavix
