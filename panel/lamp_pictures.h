#pragma once

#include <QColor>
#include <QPixmap>

namespace varnak {

// A 37 x 37 px lamp: a disc of `colour` filling the square, near-white corners,
// and a round checkerboard highlight up and left of the centre.
QPixmap LampPicture(const QColor& colour);
inline QPixmap RedLamp() { return LampPicture(QColor(255, 0, 0)); }
inline QPixmap GreenLamp() { return LampPicture(QColor(0, 255, 0)); }

}  // namespace varnak
