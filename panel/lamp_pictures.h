#pragma once

#include <QColor>
#include <QPixmap>

namespace varnak {

// A lamp `size` px square (37 x 37, the control's size at 96 dpi): a disc of
// `colour` filling the square, near-white corners, and a round checkerboard
// highlight up and left of the centre. At a device pixel ratio of 1 every
// pixel is one of the two colours; above it the picture is drawn at the
// device's resolution (a pixmap with that ratio), the disc's edge smoothed and
// the checkerboard one device pixel fine.
QPixmap LampPicture(const QColor& colour, int size = 37, qreal devicePixelRatio = 1.0);
inline QPixmap RedLamp(int size = 37, qreal dpr = 1.0) { return LampPicture(QColor(255, 0, 0), size, dpr); }
inline QPixmap GreenLamp(int size = 37, qreal dpr = 1.0) { return LampPicture(QColor(0, 255, 0), size, dpr); }
// The same lamps dimmed, for outputs that are no longer live: half the colour
// mixed with grey, so a dimmed lamp still reads plainly as red or green.
inline QPixmap DimmedRedLamp(int size = 37, qreal dpr = 1.0) {
  return LampPicture(QColor(192, 64, 64), size, dpr);
}
inline QPixmap DimmedGreenLamp(int size = 37, qreal dpr = 1.0) {
  return LampPicture(QColor(64, 192, 64), size, dpr);
}

}  // namespace varnak
