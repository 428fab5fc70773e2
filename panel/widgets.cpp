#include "widgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStringList>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace varnak {

void ClickableLineEdit::mousePressEvent(QMouseEvent* event) {
  QLineEdit::mousePressEvent(event);
  emit clicked();
}

QString BalancedLines(const QString& caption, const QFontMetrics& metrics, int width) {
  const int n = static_cast<int>(caption.size());
  for (int lines = 1; lines <= n; ++lines) {
    const int perLine = (n + lines - 1) / lines;
    QStringList parts;
    bool fits = true;
    for (int i = 0; i < n; i += perLine) {
      parts << caption.mid(i, perLine);
      fits = fits && metrics.horizontalAdvance(parts.back()) <= width;
    }
    if (fits) return parts.join(QLatin1Char('\n'));
  }
  return caption;
}

void WrappingButton::paintEvent(QPaintEvent*) {
  QStylePainter p(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  const QString caption = option.text;
  option.text.clear();
  p.drawControl(QStyle::CE_PushButton, option);
  p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  const QRect area = textArea(*this);
  p.drawText(area, Qt::AlignCenter, BalancedLines(caption, fontMetrics(), area.width()));
}

QRect WrappingButton::textArea(const QPushButton& button) {
  QStyleOptionButton option;
  option.initFrom(&button);
  const int margin = button.style()->pixelMetric(QStyle::PM_ButtonMargin, &option, &button) / 2 + 1;
  return button.rect().adjusted(margin, margin, -margin, -margin);
}

OutputNamesLabel::OutputNamesLabel(const QString& text, QVector<int> lampCentres, QWidget* parent)
    : QLabel(text, parent), centres_(std::move(lampCentres)) {}

QRect OutputNamesLabel::nameRect(int output, const QFontMetrics& metrics) const {
  const QString name = QStringLiteral("Q%1").arg(output);
  const int w = metrics.horizontalAdvance(name);
  return QRect(centres_.value(output) - w / 2, 0, w, height());
}

void OutputNamesLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(palette().color(QPalette::WindowText));
  for (int i = 0; i < centres_.size(); ++i)
    p.drawText(nameRect(i), Qt::AlignCenter, QStringLiteral("Q%1").arg(i));
}

}  // namespace varnak
