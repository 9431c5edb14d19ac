#pragma once

#include <string>
#include <vector>

#include "platform/command.h"
#include "platform/menu_row.h"

namespace tavix {

class StatusItemDelegate : public CommandTarget {
  public:
    // The status menu is about to open.
    virtual void menuWillOpen() = 0;
};

// The tray icon with its tooltip and status menu.
class StatusItem {
  public:
    virtual ~StatusItem() = default;
    // Shows the icon (as soon as the desktop has a tray) with the status menu attached.
    virtual void create(const std::string& accessibleName, StatusItemDelegate& delegate) = 0;
    virtual void setTooltip(const std::string& text) = 0;
    // The rows of the menu, also while it is open.
    virtual void setMenu(const std::vector<MenuRow>& rows) = 0;
    // True while a tray on the desktop shows the icon.
    virtual bool shown() const = 0;
};

}  // namespace tavix
