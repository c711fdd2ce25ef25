#pragma once

#include <QIcon>
#include <QImage>
#include <QRectF>

class QPainter;

namespace orva {

// Natural size of the logo picture, in logical pixels.
inline constexpr int LogoWidth = 80;
inline constexpr int LogoHeight = 26;

// Draws the panel's logo (the maker's name beside a projector lens) scaled
// into target. Drawn from shapes, so it stays sharp at any display scale.
void drawLogo(QPainter& painter, const QRectF& target);

// The window's icon: a projector throwing its beam, 16 to 64 pixels.
QIcon programIcon();

} // namespace orva
