#include "box_check.h"

#include <QApplication>
#include <QEvent>

#include "control/input_check.h"
#include "panel/theme.h"
#include "translations/translate.h"

namespace varnak {

namespace {

const char* kMarked = "varnakMarked";

}  // namespace

QString BoxValidator::problem(const QString& text) const {
  const Text t = text.toStdU32String();
  const bool reg = kind_ == BoxKind::Register;
  const InputProblem p = reg ? CheckRegister(t).problem : CheckValue(t);
  if (p == InputProblem::None) return {};
  return QString::fromStdString(InputProblemText(reg ? "register" : "value", p, t, Translated));
}

QValidator::State BoxValidator::validate(QString& input, int&) const {
  return problem(input).isEmpty() ? Acceptable : Intermediate;
}

namespace {

// Marks `box` when `why` says its text cannot be meant: its ground from the
// palette it would have unmarked, so a dark theme's box turns dark red.
void Mark(QLineEdit* box, const QString& why) {
  box->setProperty(kMarked, !why.isEmpty());
  box->setToolTip(why);
  if (why.isEmpty()) {
    box->setPalette(QPalette());  // the inherited palette again, whatever the theme
    return;
  }
  const QPalette inherited =
      box->parentWidget() ? box->parentWidget()->palette() : QApplication::palette(box);
  QPalette p;
  p.setColor(QPalette::Base, RefusedBase(inherited));
  box->setPalette(p);
}

// Marks the box again when the desktop's palette changes under it.
class PaletteWatch : public QObject {
 public:
  PaletteWatch(QLineEdit* box, const BoxValidator* validator)
      : QObject(box), box_(box), validator_(validator) {
    box->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    // The box's palette changes whenever what it inherits does; marking it
    // again changes it once more, which must not mark it again.
    if (event->type() == QEvent::PaletteChange && BoxMarked(box_) && !marking_) {
      marking_ = true;
      Mark(box_, validator_->problem(box_->text()));
      marking_ = false;
    }
    return false;
  }

 private:
  QLineEdit* box_;
  const BoxValidator* validator_;
  bool marking_ = false;
};

}  // namespace

void CheckBox(QLineEdit* box, BoxKind kind) {
  auto* validator = new BoxValidator(kind, box);
  box->setValidator(validator);
  auto update = [box, validator](const QString& text) {
    const QString why = validator->problem(text);
    if (why.isEmpty() == !BoxMarked(box)) return;
    Mark(box, why);
  };
  QObject::connect(box, &QLineEdit::textChanged, box, update);
  new PaletteWatch(box, validator);
  update(box->text());
}

bool BoxMarked(const QLineEdit* box) { return box->property(kMarked).toBool(); }

}  // namespace varnak
