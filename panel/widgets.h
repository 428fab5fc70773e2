// The few controls Qt lacks as the window needs them.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace varnak {

// A text box whose mouse click is an event of its own; tabbing into it is not.
class ClickableLineEdit : public QLineEdit {
  Q_OBJECT
 public:
  using QLineEdit::QLineEdit;
 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

// The caption cut into as few lines of equal length as fit `width`
// ("发送数据" in a narrow button: "发送" over "数据").
QString BalancedLines(const QString& caption, const QFontMetrics& metrics, int width);

// A push button that wraps its caption over lines when it is too narrow for one
// (the tall, narrow send button), instead of clipping it.
class WrappingButton : public QPushButton {
  Q_OBJECT
 public:
  using QPushButton::QPushButton;
  // Where the caption's lines go: the button less its margins.
  static QRect textArea(const QPushButton& button);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// The row of output names: its text is the whole caption with its spaces, but
// each name "Qi" is drawn centred below lamp i, whatever the font's spacing.
class OutputNamesLabel : public QLabel {
  Q_OBJECT
 public:
  // Lamp centres, in this label's coordinates.
  OutputNamesLabel(const QString& text, QVector<int> lampCentres, QWidget* parent);
  // Where "Qi" is drawn, in this label's coordinates.
  QRect nameRect(int output) const { return nameRect(output, fontMetrics()); }
  // The same in a font with `metrics`.
  QRect nameRect(int output, const QFontMetrics& metrics) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QVector<int> centres_;
};

}  // namespace varnak
