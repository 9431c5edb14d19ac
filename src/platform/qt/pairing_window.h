#pragma once

#include <QDialog>

#include <functional>

#include "platform/system/qr_matrix.h"

class QLabel;

namespace tavix {

// The QR code a phone scans to pair, in the settings window's look: what to do on the phone in one line, the
// progress under it, and Cancel. Closing it is cancelling.
class PairingWindow final : public QDialog {
  public:
    PairingWindow(const QrMatrix& code, const QString& steps, std::function<void()> cancel);

    void setProgress(const QString& text);
    // Closed by the program, not by the user: nothing is cancelled.
    void dismiss();

  protected:
    void done(int result) override;

  private:
    std::function<void()> cancel_;
    QLabel* progress_ = nullptr;
};

}  // namespace tavix
