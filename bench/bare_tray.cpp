// The floor any tray application pays: a tray icon with a plainly painted image, and a timer that reads
// $TAVIX_HOME/status.json whole every 3 seconds. bench/footprint.sh runs it beside tavix-menu.

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

QIcon plainIcon() {
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x66, 0xb3, 0xfa));
    painter.drawEllipse(QRectF(2, 2, 18, 18));
    return QIcon(pixmap);
}

QString statusPath() {
    const QByteArray home = qgetenv("TAVIX_HOME");
    return QString::fromLocal8Bit(home.isEmpty() ? qgetenv("HOME") + "/.tavix" : home) + "/status.json";
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QSystemTrayIcon icon(plainIcon());
    icon.show();

    const QString path = statusPath();
    qsizetype lastSize = 0;
    QTimer timer;
    timer.setInterval(3000);
    timer.setTimerType(Qt::CoarseTimer);
    QObject::connect(&timer, &QTimer::timeout, &app, [&path, &lastSize] {
        QFile file(path);
        // Kept, so the read cannot be optimised away.
        lastSize = file.open(QIODevice::ReadOnly) ? file.readAll().size() : 0;
    });
    timer.start();
    return QApplication::exec();
}
