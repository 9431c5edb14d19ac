#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tavix::test {

// A session bus of the test's own: a dbus-daemon that lets everyone own and call anything and starts no services.
class PrivateBus {
  public:
    PrivateBus() {
        writeFile(dir_ / "bus.conf",
                  "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                  "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n<busconfig><type>session"
                  "</type><listen>unix:path=" +
                      (dir_ / "bus").string() +
                      "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                      "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n");
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--config-file=") + QString::fromStdString((dir_ / "bus.conf").string()),
                       QStringLiteral("--nofork"), QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
        if (daemon_.waitForStarted(10000) && daemon_.waitForReadyRead(10000)) {
            address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        }
    }
    ~PrivateBus() {
        for (const QString& name : names_) QDBusConnection::disconnectFromBus(name);
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool up() const { return !address_.isEmpty(); }
    const QString& address() const { return address_; }
    // A client connection of its own, with its own unique name.
    QDBusConnection connect(const QString& name) {
        names_.append(name);
        return QDBusConnection::connectToBus(address_, name);
    }

  private:
    TempDir dir_;
    QProcess daemon_;
    QString address_;
    QStringList names_;
};

// A test with a private bus of its own, skipped where there is no dbus-daemon.
struct OnPrivateBus : testing::Test {
    void SetUp() override {
        if (!bus.up()) GTEST_SKIP() << "dbus-daemon is not installed (scripts/setup.sh installs it)";
    }
    PrivateBus bus;
};

}  // namespace tavix::test
