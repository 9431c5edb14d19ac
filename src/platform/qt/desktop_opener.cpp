#include "platform/qt/desktop_opener.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace tavix {

void DesktopOpener::openUrl(const std::string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url), QUrl::StrictMode));
}

void DesktopOpener::openFile(const std::filesystem::path& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path.string())));
}

}  // namespace tavix
