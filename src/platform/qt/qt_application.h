#pragma once

#include <QObject>
#include <QTimer>

#include "platform/application.h"
#include "platform/qt/session_instance.h"

namespace tavix {

class QtApplication final : public QObject, public Application {
    Q_OBJECT
  public:
    void activate() override;
    void terminate() override;
    void startRepeatingTimer(double seconds, std::function<void()> tick) override;
    InstanceClaim claimInstance(ApplicationDelegate& delegate, const std::optional<std::string>& action) override;
    void runAfter(double seconds, std::function<void()> fn) override;

  private:
    QTimer timer_;
    SessionInstance instance_;
};

}  // namespace tavix
