#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QRectF>
#include <QString>

class QPainter;

namespace tavix {

// Inter at a pixel size and weight (600 semibold, 900 black, …), else the platform's sans-serif.
QFont interfaceFont(qreal pixelSize, int weight);

// The application logo filling the square `rect`: Tavix.png beside the program (or in its data folder, or in
// tavix-menu/ of the XDG data folders) when present, stretched to the square; otherwise the drawn tile and
// monogram, every length proportional to the size. The file is looked for anew at every call.
void paintLogo(QPainter& painter, const QRectF& rect);
QImage logo(int size, qreal devicePixelRatio = 1.0);
// Whether a Tavix.png replaces the drawn logo, as it would at the next drawing.
bool logoReplaced();
// The logo as an icon that is drawn whenever it is shown, square at the size asked for. Every mode shows it in its
// own colours (the status menu's header row is disabled, its logo is not greyed).
QIcon logoIcon();

// Writes the 1024-pixel logo as a PNG file, replacing `path` in one step. Returns the exit status (0 on success);
// a write failure also fills `error`.
int renderIcon(const QString& path, QString* error);

}  // namespace tavix
