#include "box_check.h"

#include <QStyle>

#include "control/input_check.h"
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

void CheckBox(QLineEdit* box, BoxKind kind) {
  auto* validator = new BoxValidator(kind, box);
  box->setValidator(validator);
  auto update = [box, validator](const QString& text) {
    const QString why = validator->problem(text);
    if (why.isEmpty() == !box->property(kMarked).toBool()) return;
    box->setProperty(kMarked, !why.isEmpty());
    QPalette p = box->palette();
    p.setColor(QPalette::Base,
               why.isEmpty() ? box->style()->standardPalette().color(QPalette::Base) : QColor(255, 210, 210));
    box->setPalette(p);
    box->setToolTip(why);
  };
  QObject::connect(box, &QLineEdit::textChanged, box, update);
  update(box->text());
}

bool BoxMarked(const QLineEdit* box) { return box->property(kMarked).toBool(); }

}  // namespace varnak
