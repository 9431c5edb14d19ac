#pragma once

#include <QObject>
#include <QPointer>

#include <deque>
#include <memory>

#include "platform/dialogs.h"

class QDialog;
class QLabel;
class QWidget;

namespace tavix {

class PairingWindow;

// Message boxes and forms. `alert` queues its box on the event loop; `form` and `confirm` block in a modal loop.
class QtDialogs final : public QObject, public Dialogs {
    Q_OBJECT
  public:
    QtDialogs();
    ~QtDialogs() override;

    void alert(const std::string& title, const std::string& text, Outcome outcome) override;
    std::optional<std::vector<std::string>> form(const std::string& title, const std::string& text,
                                                 const std::vector<FormField>& fields,
                                                 const std::string& button) override;
    bool confirm(const std::string& title, const std::string& text, const std::string& button) override;
    void raiseOpen() override;
    std::optional<std::string> showPairingCode(const std::string& payload, const std::string& steps,
                                               std::function<void()> cancel) override;
    void pairingProgress(const std::string& text) override;
    void closePairingCode() override;

    // The window with the QR code while it is shown.
    QWidget* pairingWindow() const;

    // The fields of a form: 360 wide, one 62-high band per field, each a label over its input.
    static QWidget* formAccessory(const std::vector<FormField>& fields, QWidget* parent);

  Q_SIGNALS:
    // A dialog is about to run its modal loop (tests answer it from here).
    void dialogShown(QDialog* dialog);

  private:
    struct Message {
        std::string title;
        std::string text;
    };
    void showAlerts();
    // Runs a form or a question modally, known as the open one meanwhile.
    int exec(QDialog& dialog);

    std::deque<Message> alerts_;
    bool showingAlerts_ = false;
    QPointer<QDialog> open_;
    std::unique_ptr<PairingWindow> pairing_;
};

}  // namespace tavix
