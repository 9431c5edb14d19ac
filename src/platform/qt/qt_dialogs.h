#pragma once

#include <QObject>

#include <deque>

#include "platform/dialogs.h"

class QDialog;
class QWidget;

namespace tavix {

// Message boxes and forms. `alert` queues its box on the event loop; `form` and `confirm` block in a modal loop.
class QtDialogs final : public QObject, public Dialogs {
    Q_OBJECT
  public:
    void alert(const std::string& title, const std::string& text) override;
    std::optional<std::vector<std::string>> form(const std::string& title, const std::string& text,
                                                 const std::vector<FormField>& fields,
                                                 const std::string& button) override;
    bool confirm(const std::string& title, const std::string& text, const std::string& button) override;

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

    std::deque<Message> alerts_;
    bool showingAlerts_ = false;
};

}  // namespace tavix
