// The operator's boxes keep exactly what is typed or pasted, and say at once
// when it cannot be meant: a register box that is not octal 0 to 77777, a value
// box that is not one to four hex digits. A plain validator would drop the
// offending keystroke ("2008" would become "200", another register); this one
// never refuses a keystroke, it only marks the box and tells why in its tooltip.
#pragma once

#include <QLineEdit>
#include <QValidator>

namespace varnak {

enum class BoxKind { Register, Value };

class BoxValidator : public QValidator {
  Q_OBJECT
 public:
  BoxValidator(BoxKind kind, QObject* parent) : QValidator(parent), kind_(kind) {}
  // Acceptable, or Intermediate for a text that cannot be meant; never Invalid.
  State validate(QString& input, int& pos) const override;
  // Why the text cannot be meant, or empty.
  QString problem(const QString& text) const;

 private:
  BoxKind kind_;
};

// Sets the validator on `box` and marks the box (a pale red ground and a
// tooltip) while its text cannot be meant.
void CheckBox(QLineEdit* box, BoxKind kind);
// Whether `box` is marked now.
bool BoxMarked(const QLineEdit* box);

}  // namespace varnak
