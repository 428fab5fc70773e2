#include "lamp_pictures.h"

#include <QImage>

namespace varnak {

QPixmap LampPicture(const QColor& colour) {
  constexpr int kSize = 37;
  const QColor corner(255, 248, 255);
  // Drawn pixel by pixel, without smoothing, so every pixel is one of the two colours.
  constexpr double kCentre = (kSize - 1) / 2.0;
  constexpr double kRadius = kSize / 2.0;
  constexpr double kHighlightX = 13.0, kHighlightY = 12.0, kHighlightRadius = 8.0;
  QImage image(kSize, kSize, QImage::Format_RGB32);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const double dx = x - kCentre, dy = y - kCentre;
      const double hx = x - kHighlightX, hy = y - kHighlightY;
      const bool inDisc = dx * dx + dy * dy <= kRadius * kRadius;
      const bool inHighlight = hx * hx + hy * hy <= kHighlightRadius * kHighlightRadius;
      const bool lit = inDisc && !(inHighlight && (x + y) % 2 == 0);
      image.setPixelColor(x, y, lit ? colour : corner);
    }
  }
  return QPixmap::fromImage(image);
}

}  // namespace varnak
