#pragma once

#include <QObject>
#include <QTimer>

#include "platform/application.h"

namespace tavix {

class QtApplication final : public QObject, public Application {
    Q_OBJECT
  public:
    void activate() override;
    void terminate() override;
    void startRepeatingTimer(double seconds, std::function<void()> tick) override;
    void runAfter(double seconds, std::function<void()> fn) override;

  private:
    QTimer timer_;
};

}  // namespace tavix
