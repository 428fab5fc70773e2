#include "lamp_pictures.h"

#include <QImage>
#include <cmath>

namespace varnak {

namespace {

// The geometry of the 37 px lamp, in its pixels; larger lamps scale it.
constexpr double kDesignSize = 37.0;
constexpr double kHighlightX = 13.0, kHighlightY = 12.0, kHighlightRadius = 8.0;

QImage PixelLamp(const QColor& colour, const QColor& corner, int size) {
  // Drawn pixel by pixel, without smoothing, so every pixel is one of the two colours.
  const double scale = size / kDesignSize;
  const double centre = (size - 1) / 2.0, radius = size / 2.0;
  const double hx0 = kHighlightX * scale, hy0 = kHighlightY * scale, hr = kHighlightRadius * scale;
  QImage image(size, size, QImage::Format_RGB32);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double dx = x - centre, dy = y - centre;
      const double hx = x - hx0, hy = y - hy0;
      const bool inDisc = dx * dx + dy * dy <= radius * radius;
      const bool inHighlight = hx * hx + hy * hy <= hr * hr;
      const bool lit = inDisc && !(inHighlight && (x + y) % 2 == 0);
      image.setPixelColor(x, y, lit ? colour : corner);
    }
  }
  return image;
}

QImage SmoothLamp(const QColor& colour, const QColor& corner, int size) {
  // Each device pixel gets the share of its area that lies in the disc, from
  // 4 x 4 samples; the checkerboard stays one device pixel fine.
  constexpr int kSamples = 4;
  const double scale = size / kDesignSize;
  const double centre = size / 2.0, radius = size / 2.0;
  const double hx0 = (kHighlightX + 0.5) * scale, hy0 = (kHighlightY + 0.5) * scale,
               hr = kHighlightRadius * scale;
  QImage image(size, size, QImage::Format_RGB32);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      int inside = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const double dx = x + (sx + 0.5) / kSamples - centre, dy = y + (sy + 0.5) / kSamples - centre;
          inside += dx * dx + dy * dy <= radius * radius;
        }
      }
      const double hx = x + 0.5 - hx0, hy = y + 0.5 - hy0;
      const bool inHighlight = hx * hx + hy * hy <= hr * hr;
      const QColor lit = inHighlight && (x + y) % 2 == 0 ? corner : colour;
      const double share = static_cast<double>(inside) / (kSamples * kSamples);
      const auto mix = [share](int a, int b) { return static_cast<int>(std::lround(b + (a - b) * share)); };
      image.setPixelColor(x, y,
                          QColor(mix(lit.red(), corner.red()), mix(lit.green(), corner.green()),
                                 mix(lit.blue(), corner.blue())));
    }
  }
  return image;
}

}  // namespace

QPixmap LampPicture(const QColor& colour, int size, qreal devicePixelRatio) {
  const QColor corner(255, 248, 255);
  if (devicePixelRatio <= 1.0) return QPixmap::fromImage(PixelLamp(colour, corner, size));
  const int pixels = static_cast<int>(std::lround(size * devicePixelRatio));
  QPixmap picture = QPixmap::fromImage(SmoothLamp(colour, corner, pixels));
  picture.setDevicePixelRatio(static_cast<qreal>(pixels) / size);
  return picture;
}

}  // namespace varnak
