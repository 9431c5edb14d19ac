#pragma once

#include <QByteArray>
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QRectF>

#include <optional>

class QPainter;

namespace tavix {

// The tray icon, an outlined robot head on an 18-unit grid (y downwards): each stroke as a filled outline (nonzero
// winding), the form icon themes recolour.
QList<QPainterPath> menuBarLogoParts();

// Paints the head into the largest square centred in `rect`, never stretched. In `color` when the panel's text
// colour is known; otherwise light with a dark rim, which reads on a panel of any colour.
void paintMenuBarLogo(QPainter& painter, const QRectF& rect, const std::optional<QColor>& color);
// The same at the size and pixel ratio the tray asks for.
QIcon menuBarLogo(const std::optional<QColor>& color);
QImage menuBarLogoImage(int pixels, const std::optional<QColor>& color);

// The symbolic icon theme file. Panels that colour symbolic icons paint the head in their own text colour: GTK
// overrides the fill of paths, KDE and LXQt fill the ColorScheme-Text class from their palette. Others draw it as it
// stands: light with a dark rim. The rim takes the panel's background colour in KDE and LXQt; in GTK it takes the
// far end from the head's colour, so the head reads even on a panel that changed colour without drawing it again.
QByteArray menuBarLogoSvg();

}  // namespace tavix
