#pragma once

#include <QColor>
#include <QPixmap>

namespace varnak {

// A 37 x 37 px lamp: a disc of `colour` filling the square, near-white corners,
// and a round checkerboard highlight up and left of the centre.
QPixmap LampPicture(const QColor& colour);
inline QPixmap RedLamp() { return LampPicture(QColor(255, 0, 0)); }
inline QPixmap GreenLamp() { return LampPicture(QColor(0, 255, 0)); }
// The same lamps dimmed, for outputs that are no longer live: half the colour
// mixed with grey, so a dimmed lamp still reads plainly as red or green.
inline QPixmap DimmedRedLamp() { return LampPicture(QColor(192, 64, 64)); }
inline QPixmap DimmedGreenLamp() { return LampPicture(QColor(64, 192, 64)); }

}  // namespace varnak
