// What the link control's reports show in the window (the read box, the value
// box, the lamps, the title), the lamps' pictures at the screen's resolution, and their
// descriptions for tooltips and screen readers.
#include <QLabel>
#include <QScreen>
#include <QWindow>

#include "form2.h"
#include "link/words.h"
#include "panel/lamp_pictures.h"
#include "translations/translate.h"

namespace varnak {

void Form2::refreshStatus() { showStatus(core_.status(now(), Translated)); }

void Form2::showStatus(const LinkStatus& status) {
  if (status.lampsStale != lampsDimmed_) {
    lampsDimmed_ = status.lampsStale;
    drawLamps();
    for (int i = 0; i < 8; ++i) describeLamp(i);
  }
  const QString message = QString::fromStdString(status.message);
  if (message == statusMessage_) return;
  statusMessage_ = message;
  setWindowTitle(message.isEmpty() ? kWindowTitle : kWindowTitle + QStringLiteral(" - ") + message);
  emit statusMessageChanged(message);
}

void Form2::onLinkEvent(const LinkEvent& event) {
  if (event.kind == LinkEvent::Kind::ReadBoxCleared) Text5->clear();
  if (event.kind == LinkEvent::Kind::ValueNormalised) Text1->setText(QString::fromStdString(event.value));
}

void Form2::onJobEnded(const JobEnd& end) {
  if (!end.ok) return;
  if (end.kind == ExchangeKind::Read) Text5->setText(QString::fromStdString(ValueHex(end.value)));
  if (end.kind == ExchangeKind::Poll)
    for (int i = 0; i < 8; ++i) setLamp(i, (end.value >> i) & 1);
}

void Form2::drawLamps() {
  const int size = imgr[0]->width();
  const qreal dpr = devicePixelRatioF();
  const QPixmap red = lampsDimmed_ ? DimmedRedLamp(size, dpr) : RedLamp(size, dpr);
  const QPixmap green = lampsDimmed_ ? DimmedGreenLamp(size, dpr) : GreenLamp(size, dpr);
  for (int i = 0; i < 8; ++i) {
    imgr[i]->setPixmap(red);
    imgg0[i]->setPixmap(green);
  }
}

// A window moved to a screen of another scale (a laptop's panel and an office
// monitor) must draw its lamps again at that screen's resolution; the native
// window exists only once shown, and may be made anew when hidden and shown.
void Form2::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  QWindow* native = windowHandle();
  if (!native || native == followedScreens_) return;
  followedScreens_ = native;
  connect(native, &QWindow::screenChanged, this, [this] { drawLamps(); });
  drawLamps();
}

void Form2::setLamp(int output, bool on) {
  if (output < 0 || output > 7) return;
  if (!outputsKnown_) {
    outputsKnown_ = true;
    for (int i = 0; i < 8; ++i) describeLamp(i);
  }
  // Raising a picture that is already in front would only cost a repaint, five times a second.
  if (lampIsGreen(output) == on) return;
  lampOn_[static_cast<std::size_t>(output)] = on;
  (on ? imgg0[output] : imgr[output])->raise();
  describeLamp(output);
}

QString Form2::lampToolTip(int output) const { return imgr[output]->toolTip(); }

void Form2::describeLamp(int i) {
  const bool on = lampIsGreen(i);
  const QString name = !outputsKnown_ ? tr("Q%1: not known yet").arg(i)
                       : on           ? tr("Q%1: 1 (on)").arg(i)
                                      : tr("Q%1: 0 (off)").arg(i);
  const QString description = !outputsKnown_ ? tr("dimmed: no poll reply yet")
                              : lampsDimmed_
                                  ? tr("dimmed: no poll reply for over a second; the last state known")
                                  : tr("live");
  for (QLabel* picture : {imgr[i], imgg0[i]}) {
    picture->setToolTip(name + QLatin1Char('\n') + description);
    picture->setAccessibleName(name);
    picture->setAccessibleDescription(description);
  }
}

}  // namespace varnak
