#pragma once

#include <QAbstractNativeEventFilter>
#include <QColor>
#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>

namespace tavix {

// Whether an X11 system tray (XEmbed) takes icons on this display right now; never on Wayland.
bool xembedTrayPresent();

// The text colour the XEmbed tray asks its icons to use (_NET_SYSTEM_TRAY_COLORS), when it says.
std::optional<QColor> trayForeground();

// Calls `changed` when another XEmbed tray takes over or the tray changes its colours (a theme switch), for as long
// as it lives.
class TrayColourWatch final : public QAbstractNativeEventFilter {
  public:
    explicit TrayColourWatch(std::function<void()> changed);
    ~TrayColourWatch() override;
    TrayColourWatch(const TrayColourWatch&) = delete;
    TrayColourWatch& operator=(const TrayColourWatch&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    void followSoon();
    void follow();

    QObject context_;
    std::function<void()> changed_;
    std::uint32_t colours_ = 0;
    std::uint32_t manager_ = 0;
    std::uint32_t owner_ = 0;
};

}  // namespace tavix
