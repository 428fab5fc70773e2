#include "caption_fit.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <algorithm>
#include <cmath>

#include "panel/widgets.h"

namespace varnak {

namespace {

constexpr int kSmallestPixels = 6;
const QString kCaptionFamily = QStringLiteral("Noto Sans CJK SC");

bool LabelFits(const QLabel& label, const QFontMetrics& fm) {
  if (!label.pixmap().isNull()) return true;
  if (const auto* names = qobject_cast<const OutputNamesLabel*>(&label)) {
    // Eight names, each centred below its lamp, none running into the next.
    for (int i = 0; i < 8; ++i) {
      const QRect r = names->nameRect(i, fm);
      if (r.left() < 0 || r.right() >= label.width()) return false;
      if (i > 0 && names->nameRect(i - 1, fm).right() + 2 > r.left()) return false;
    }
    return fm.height() <= label.height();
  }
  const QRect area = label.contentsRect();
  return fm.horizontalAdvance(label.text()) <= area.width() && fm.height() <= area.height();
}

bool FrameFits(const QGroupBox& frame, const QFontMetrics& fm) {
  QStyleOptionGroupBox option;
  option.initFrom(&frame);
  option.fontMetrics = fm;
  option.text = frame.title();
  option.rect = frame.rect();
  option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
  const QRect title =
      frame.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &frame);
  int firstTop = frame.height();
  for (const QObject* child : frame.children())
    if (const auto* w = qobject_cast<const QWidget*>(child)) firstTop = std::min(firstTop, w->y());
  return title.left() >= 0 && title.right() < frame.width() && title.top() >= 0 &&
         title.bottom() < firstTop && fm.horizontalAdvance(frame.title()) <= title.width();
}

bool ButtonFits(const QPushButton& button, const QFontMetrics& fm) {
  if (qobject_cast<const WrappingButton*>(&button)) {
    const QRect area = WrappingButton::textArea(button);
    const QStringList lines = BalancedLines(button.text(), fm, area.width()).split(QLatin1Char('\n'));
    for (const QString& line : lines)
      if (fm.horizontalAdvance(line) > area.width()) return false;
    return fm.height() + (lines.size() - 1) * fm.lineSpacing() <= area.height();
  }
  QStyleOptionButton option;
  option.initFrom(&button);
  option.fontMetrics = fm;
  option.text = button.text();
  const QRect area = button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
  return fm.horizontalAdvance(button.text()) <= area.width() && fm.height() <= area.height();
}

bool SameFont(const QFont& a, const QFont& b) {
  return a.family() == b.family() && a.pointSizeF() == b.pointSizeF() && a.pixelSize() == b.pixelSize() &&
         a.weight() == b.weight() && a.style() == b.style();
}

// Chooses the window's font again at each change of the application's.
class Fitter : public QObject {
 public:
  explicit Fitter(QWidget* window) : QObject(window), window_(window) { window->installEventFilter(this); }
  void fit() {
    const QFont font = FittingFont(*window_, DesktopFont());
    if (!SameFont(font, window_->font())) window_->setFont(font);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window_ && event->type() == QEvent::ApplicationFontChange) fit();
    return false;
  }

 private:
  QWidget* window_;
};

}  // namespace

int TwipsToPixels(int twips, qreal dpi) { return static_cast<int>(std::lround(twips * dpi / 1440.0)); }

QRect TwipsRect(int left, int top, int width, int height, qreal dpi) {
  return QRect(TwipsToPixels(left, dpi), TwipsToPixels(top, dpi), TwipsToPixels(width, dpi),
               TwipsToPixels(height, dpi));
}

qreal ScreenDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->logicalDotsPerInchY() : 96.0;
}

QStringList ClippedCaptions(const QWidget& window, const QFont& font) {
  const QFontMetrics fm(font, &window);
  QStringList clipped;
  for (const QWidget* w : window.findChildren<const QWidget*>()) {
    if (w->window() != &window) continue;  // the windows the main window owns lay themselves out
    bool fits = true;
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
      fits = LabelFits(*label, fm);
    } else if (const auto* frame = qobject_cast<const QGroupBox*>(w)) {
      fits = FrameFits(*frame, fm);
    } else if (const auto* button = qobject_cast<const QPushButton*>(w)) {
      fits = ButtonFits(*button, fm);
    }
    if (!fits) clipped << w->objectName();
  }
  return clipped;
}

QFont FittingFont(const QWidget& window, const QFont& desktop) {
  if (ClippedCaptions(window, desktop).isEmpty()) return desktop;
  const double desktopPixels =
      desktop.pixelSize() > 0 ? desktop.pixelSize() : desktop.pointSizeF() * window.logicalDpiY() / 72.0;
  QFont font = desktop;
  for (int px = static_cast<int>(std::ceil(desktopPixels)) - 1; px >= kSmallestPixels; --px) {
    font.setPixelSize(px);
    if (ClippedCaptions(window, font).isEmpty()) break;
  }
  return font;
}

QFont DesktopFont() {
  QFont font = QApplication::font();
  if (font.family() == QLatin1String("Sans Serif")) {
    font.setFamily(kCaptionFamily);
    font.setStyleHint(QFont::SansSerif);
  }
  return font;
}

void FitCaptions(QWidget* window) { (new Fitter(window))->fit(); }

}  // namespace varnak
