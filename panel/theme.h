// The colours the windows draw with, from the palette in use, so that they
// read on light and dark desktops alike. Colours that carry a meaning (an
// output on or off, a command's outcome, a span not live) keep their hue and
// move lighter or darker until they stand out from every ground they are drawn
// on: 4.5:1 for text and 3:1 for lines and marks, as WCAG asks.
#pragma once

#include <QColor>
#include <QPalette>
#include <initializer_list>

namespace varnak {

// WCAG's relative luminance, 0 (black) to 1 (white).
double RelativeLuminance(const QColor& colour);
// WCAG's contrast ratio, 1 (the same) to 21 (black on white); the order does not matter.
double ContrastRatio(const QColor& a, const QColor& b);
// `top` (with its alpha) painted over the opaque `bottom`.
QColor Over(const QColor& top, const QColor& bottom);
// `a` moved `share` (0 to 1) of the way to `b`.
QColor Mix(const QColor& a, const QColor& b, double share);

// Whether the palette's window is dark (light text on a dark ground): its
// luminance is below the point at which white and black contrast equally.
bool IsDark(const QPalette& palette);

// `colour` with its hue and saturation, made lighter (on dark grounds) or
// darker (on light ones) in steps until its contrast with each of `grounds` is
// at least `ratio`; as it is when it already is.
QColor Readable(const QColor& colour, std::initializer_list<QColor> grounds, double ratio, bool dark);

// The output timing chart's colours for a palette.
struct ChartColours {
  QColor ground;        // the whole chart: the palette's base
  QColor text;          // lane names, times, the cursor's states: the palette's text
  QColor stripe;        // every second lane's ground
  QColor grid;          // the time grid across the lanes
  QColor frame;         // around the plot
  QColor tick;          // the time axis' ticks
  QColor high;          // an output on: the lamps' green, darker or lighter
  QColor highFill;      // under a high trace, translucent
  QColor low;           // an output off: the lamps' red, darker or lighter
  QColor edge;          // a change of an output
  QColor busy;          // a pixel column in which an output changed more than once
  QColor notLive;       // spans not live
  QColor notLiveHatch;  // their hatching
  QColor cursor;        // the cursor's dotted line
  QColor confirmed;     // a command that succeeded: blue
  QColor failed;        // one that did not: orange
  QColor pending;       // one under way: grey
};
ChartColours ChartColoursFor(const QPalette& palette);

// The ground of a text box whose text cannot be meant: the palette's base
// turned pale red (light) or dark red (dark), the text still reading on it.
QColor RefusedBase(const QPalette& palette);

}  // namespace varnak
