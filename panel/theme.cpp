#include "theme.h"

#include <algorithm>
#include <cmath>

namespace varnak {

namespace {

double Linear(double channel) {
  return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

// Where white and black on a ground contrast equally: (1 + 0.05) / (L + 0.05) = (L + 0.05) / 0.05.
constexpr double kMidLuminance = 0.1791;

double LeastContrast(const QColor& colour, std::initializer_list<QColor> grounds) {
  double least = 21.0;
  for (const QColor& g : grounds) least = std::min(least, ContrastRatio(colour, g));
  return least;
}

}  // namespace

double RelativeLuminance(const QColor& colour) {
  const QColor c = colour.toRgb();
  return 0.2126 * Linear(c.redF()) + 0.7152 * Linear(c.greenF()) + 0.0722 * Linear(c.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Over(const QColor& top, const QColor& bottom) {
  const double a = top.alphaF();
  const auto mix = [a](double t, double b) { return t * a + b * (1 - a); };
  return QColor::fromRgbF(static_cast<float>(mix(top.redF(), bottom.redF())),
                          static_cast<float>(mix(top.greenF(), bottom.greenF())),
                          static_cast<float>(mix(top.blueF(), bottom.blueF())));
}

QColor Mix(const QColor& a, const QColor& b, double share) {
  const auto mix = [share](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * share)); };
  return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

bool IsDark(const QPalette& palette) {
  return RelativeLuminance(palette.color(QPalette::Active, QPalette::Window)) < kMidLuminance;
}

QColor Readable(const QColor& colour, std::initializer_list<QColor> grounds, double ratio, bool dark) {
  const QColor hsl = colour.toHsl();
  const float hue = hsl.hslHueF(), saturation = hsl.hslSaturationF();
  float lightness = hsl.lightnessF();
  QColor c = colour;
  // A hundred steps span the whole range from black to white.
  for (int step = 0; step < 100 && LeastContrast(c, grounds) < ratio; ++step) {
    lightness = std::clamp(lightness + (dark ? 0.01f : -0.01f), 0.0f, 1.0f);
    c = QColor::fromHslF(hue < 0 ? 0 : hue, saturation, lightness).toRgb();
  }
  return c;
}

ChartColours ChartColoursFor(const QPalette& palette) {
  constexpr double kText = 4.5, kMark = 3.0;
  const bool dark = IsDark(palette);
  ChartColours c;
  const QColor text = palette.color(QPalette::Active, QPalette::Text);
  // A mid-grey base leaves no room for coloured marks: moved away from the
  // text until the text stands out 7:1; light and dark bases already do.
  c.ground = Readable(palette.color(QPalette::Active, QPalette::Base), {text}, 7.0, !dark);
  c.text = Readable(text, {c.ground}, kText, dark);
  // Grounds of their own, as far as the text still reads on them.
  const auto shade = [&](double share) {
    QColor g = Mix(c.ground, c.text, share);
    for (; share > 0 && ContrastRatio(g, c.text) < kText + 0.5; share -= 0.01)
      g = Mix(c.ground, c.text, share);
    return g;
  };
  c.stripe = shade(dark ? 0.05 : 0.025);
  c.grid = Mix(c.ground, c.text, dark ? 0.16 : 0.10);
  c.notLive = shade(dark ? 0.12 : 0.10);
  const std::initializer_list<QColor> grounds = {c.ground, c.stripe, c.notLive};
  c.frame = Readable(Mix(c.ground, c.text, 0.35), {c.ground}, kMark, dark);
  c.tick = Readable(Mix(c.ground, c.text, 0.5), {c.ground}, kMark, dark);
  c.notLiveHatch = Readable(Mix(c.ground, c.text, 0.4), {c.notLive}, kMark, dark);
  // The lamps' own green and red, as far as they stand out.
  c.high = Readable(QColor(0, 255, 0), grounds, kMark, dark);
  c.highFill = c.high;
  // Translucent, so that the hatching shows through, and faint enough for the cursor's digits.
  for (int alpha = dark ? 60 : 70; alpha > 0; alpha -= 5) {
    c.highFill.setAlpha(alpha);
    if (ContrastRatio(c.text, Over(c.highFill, c.ground)) >= kText + 0.5 &&
        ContrastRatio(c.text, Over(c.highFill, c.notLive)) >= kText + 0.5)
      break;
  }
  c.low = Readable(QColor(255, 0, 0), grounds, kMark, dark);
  c.edge = Readable(Mix(c.ground, c.text, 0.85), grounds, kMark, dark);
  c.busy = Readable(Mix(c.ground, c.text, 0.65), grounds, kMark, dark);
  c.cursor = c.text;
  // Commands are lines and text on the chart's ground.
  c.confirmed = Readable(dark ? QColor(90, 150, 255) : QColor(20, 80, 200), grounds, kText, dark);
  c.failed = Readable(QColor(220, 110, 0), grounds, kText, dark);
  c.pending = Readable(QColor(120, 120, 120), grounds, kText, dark);
  return c;
}

QColor RefusedBase(const QPalette& palette) {
  const bool dark = IsDark(palette);
  const QColor base = palette.color(QPalette::Active, QPalette::Base);
  const QColor text = palette.color(QPalette::Active, QPalette::Text);
  // On white this is the pale red (255, 210, 210) the boxes always had.
  const QColor marked = Mix(base, QColor(255, 0, 0), dark ? 0.35 : 0.176);
  // Still a ground for the text: darker under light text, lighter under dark.
  return Readable(marked, {text}, 4.5, !dark);
}

}  // namespace varnak
