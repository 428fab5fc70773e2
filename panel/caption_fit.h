// The window's layout is fixed in twips; its captions must stay whole in
// whatever font the desktop gives. The font keeps the desktop's family and
// takes the largest size, no larger than the desktop's, at which every
// caption and button text fits its box; it is chosen again whenever the
// application's font changes (a theme may set it after start).
#pragma once

#include <QFont>
#include <QRect>
#include <QStringList>

class QWidget;

namespace varnak {

// Twips (1/1440 inch) in pixels at `dpi` logical dots per inch: 15 twips a
// pixel at 96 dpi, 12 at 120.
int TwipsToPixels(int twips, qreal dpi);
QRect TwipsRect(int left, int top, int width, int height, qreal dpi);
// The primary screen's logical dpi (96 where there is no screen).
qreal ScreenDpi();

// The object names of `window`'s labels, frames and buttons whose caption
// `font` would make wider or taller than its box (a frame's caption: the strip
// above its first control; the send button's: its lines, wrapped).
QStringList ClippedCaptions(const QWidget& window, const QFont& font);
// The desktop's font when it clips nothing, else the largest whole pixel size
// of its family below it that clips nothing (6 px at the least).
QFont FittingFont(const QWidget& window, const QFont& desktop);
// The font of the desktop the window is measured against: the application's,
// except that where the desktop names no family of its own (Qt's generic
// "Sans Serif") it is the CJK sans-serif the window's captions are drawn in.
QFont DesktopFont();
// Sets the fitting font on `window` now, and again at each change of the
// application's font.
void FitCaptions(QWidget* window);

}  // namespace varnak
