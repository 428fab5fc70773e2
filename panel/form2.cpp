#include "form2.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QHelpEvent>
#include <QLineEdit>
#include <QToolTip>
#include <chrono>

#include "line/port_number.h"
#include "panel/box_check.h"
#include "panel/caption_fit.h"
#include "panel/lamp_pictures.h"
#include "serial/local_port.h"
#include "translations/translate.h"

namespace varnak {

namespace {

// Positions and sizes are designed in twips: 15 a pixel at 96 dpi.
QRect Twips(int left, int top, int width, int height) {
  return TwipsRect(left, top, width, height, ScreenDpi());
}

template <typename W, typename... Args>
W* Make(QWidget* parent, const char* name, QRect where, Args&&... args) {
  auto* w = new W(std::forward<Args>(args)..., parent);
  w->setObjectName(QString::fromLatin1(name));
  w->setGeometry(where);
  return w;
}

QLabel* MakeLabel(QWidget* parent, const char* name, QRect where, const QString& caption) {
  auto* l = Make<QLabel>(parent, name, where, caption);
  l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return l;
}

QLabel* MakeLamp(QWidget* parent, const QString& name, int output, const QPixmap& picture) {
  auto* l = Make<QLabel>(parent, "", Twips(1185 + 600 * output, 3705, 555, 555));
  l->setObjectName(name);
  l->setPixmap(picture);
  return l;
}

// "  Q0        Q1         Q2 ..." : 78 characters, spaces kept.
QString OutputNamesCaption() {
  const int gaps[] = {8, 9, 8, 9, 9, 8, 9};
  QString s = QStringLiteral("  Q0");
  for (int i = 1; i < 8; ++i) s += QString(gaps[i - 1], QLatin1Char(' ')) + QStringLiteral("Q%1").arg(i);
  return s;
}

}  // namespace

Form2::Form2(SerialPort& port, QWidget* parent)
    : QWidget(parent),
      clock_(SteadyMs),
      core_(port),
      lineLog_(now(), QDateTime::currentMSecsSinceEpoch()),
      recorder_(now(), QDateTime::currentMSecsSinceEpoch()),
      linkRecorder_(recorder_) {
  setObjectName(QStringLiteral("Form2"));
  // What comes from the port (its chunks, its problems) reaches the link
  // control directly; then the deadline is armed and the status shown, as after
  // the window's own events.
  core_.setAfterPortEvent([this] { armDeadline(); });
  core_.addObserver(this);
  setWindowTitle(kWindowTitle);
  setFixedSize(TwipsToPixels(7380, ScreenDpi()), TwipsToPixels(5610, ScreenDpi()));

  Frame1 = Make<QGroupBox>(this, "Frame1", Twips(360, 315, 3480, 2580), QStringLiteral("数据输入"));
  Label4 = MakeLabel(Frame1, "Label4", Twips(840, 405, 735, 255), QStringLiteral("端口号："));
  Label3 = MakeLabel(Frame1, "Label3", Twips(1560, 405, 375, 255), QStringLiteral("COM"));
  Combo1 = Make<QComboBox>(Frame1, "Combo1", Twips(1920, 360, 495, 315));
  Combo1->setEditable(true);
  Combo1->setInsertPolicy(QComboBox::NoInsert);  // the list stays empty; the number is typed
  Combo1->installEventFilter(this);
  Label2 = MakeLabel(Frame1, "Label2", Twips(360, 765, 1095, 255), QStringLiteral("寄存器号：R"));
  Text2 = Make<ClickableLineEdit>(Frame1, "Text2", Twips(1440, 720, 975, 285), QStringLiteral("2000"));
  Command1 =
      Make<WrappingButton>(Frame1, "Command1", Twips(2640, 720, 615, 1215), QStringLiteral("发送数据"));
  Label1 = MakeLabel(Frame1, "Label1", Twips(360, 1320, 1575, 255), QStringLiteral("写入数据："));
  Text1 = Make<ClickableLineEdit>(Frame1, "Text1", Twips(480, 1680, 1935, 285), QStringLiteral("00"));
  Command4 = Make<QPushButton>(Frame1, "Command4", Twips(1020, 2010, 915, 420), QStringLiteral("取消输入"));

  Frame2 = Make<QGroupBox>(this, "Frame2", Twips(4440, 285, 2370, 2610), QStringLiteral("读取数据"));
  Label9 = MakeLabel(Frame2, "Label9", Twips(360, 360, 1575, 255), QStringLiteral("寄存器数据显示："));
  Text5 = Make<ClickableLineEdit>(Frame2, "Text5", Twips(360, 720, 1455, 285), QString());
  Label10 = MakeLabel(Frame2, "Label10", Twips(120, 1365, 1095, 255), QStringLiteral("寄存器号：R"));
  Text6 = Make<ClickableLineEdit>(Frame2, "Text6", Twips(1200, 1320, 855, 285), QStringLiteral("2000"));
  Command3 = Make<QPushButton>(Frame2, "Command3", Twips(600, 1800, 975, 735), QStringLiteral("读出"));

  Label12 = MakeLabel(this, "Label12", Twips(2865, 3345, 1815, 255), QStringLiteral("PLC输出点状态显示"));
  // Green first, then red: every red picture starts in front of its green one.
  const int lamp = TwipsToPixels(555, ScreenDpi());
  for (int i = 0; i < 8; ++i)
    imgg0[i] = MakeLamp(this, QStringLiteral("imgg0(%1)").arg(i), i, GreenLamp(lamp, devicePixelRatioF()));
  for (int i = 0; i < 8; ++i)
    imgr[i] = MakeLamp(this, QStringLiteral("imgr%1").arg(i), i, RedLamp(lamp, devicePixelRatioF()));
  const QRect names = Twips(1305, 4305, 4695, 255);
  QVector<int> centres;
  for (int i = 0; i < 8; ++i) centres << imgr[i]->geometry().center().x() - names.left();
  Label14 = new OutputNamesLabel(OutputNamesCaption(), centres, this);
  Label14->setObjectName(QStringLiteral("Label14"));
  Label14->setGeometry(names);
  Label13 = MakeLabel(
      this, "Label13", Twips(255, 5160, 6930, 255),
      QStringLiteral("本例的通讯设置为：9600bps，奇校验，8位数据位，1位停止位，HEX方式，PLC局号为1"));

  FitCaptions(this);

  for (QPushButton* b : {static_cast<QPushButton*>(Command1), Command3, Command4}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
  QWidget* order[] = {Text1, Command1, Text2, Text5, Text6, Command3, Combo1, Command4};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  setTabOrder(Command4, Text1);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(200);

  CheckBox(Text1, BoxKind::Value);
  CheckBox(Text2, BoxKind::Register);
  CheckBox(Text6, BoxKind::Register);

  // The link control keeps no timer: after every event it says when it wants
  // to be called back (a reply timeout, the end of a join), and one
  // single-shot timer brings it that moment.
  deadline_ = new QTimer(this);
  deadline_->setSingleShot(true);
  deadline_->setTimerType(Qt::PreciseTimer);
  connect(deadline_, &QTimer::timeout, this, [this] { handle([this] { core_.Timeout(now()); }); });
  connect(Command1, &QPushButton::clicked, this, [this] {
    handle([this] {
      core_.Command1_Click(Text1->text().toStdU32String(), Text2->text().toStdU32String(), now());
    });
  });
  connect(Command3, &QPushButton::clicked, this, [this] {
    handle([this] {
      core_.Command3_Click(Text1->text().toStdU32String(), Text6->text().toStdU32String(), now());
    });
  });
  connect(Command4, &QPushButton::clicked, this, [this] { handle([this] { core_.Command4_Click(now()); }); });
  connect(Text1, &ClickableLineEdit::clicked, this, [this] { handle([this] { core_.Text1_Click(now()); }); });
  connect(Text2, &ClickableLineEdit::clicked, this, [this] { handle([this] { core_.Text2_Click(now()); }); });
  connect(Text5, &ClickableLineEdit::clicked, this, [this] { handle([this] { core_.Text5_Click(now()); }); });
  connect(Text6, &ClickableLineEdit::clicked, this, [this] { handle([this] { core_.Text6_Click(now()); }); });
  portEditPause_ = new QTimer(this);
  portEditPause_->setSingleShot(true);
  portEditPause_->setInterval(kPortEditPauseMs);
  connect(portEditPause_, &QTimer::timeout, this, &Form2::applyPortText);
  connect(Combo1, &QComboBox::editTextChanged, this, [this] {
    // The number answered at start-up applies at once; typing waits for a pause.
    if (settingPortText_) {
      portEditPause_->stop();
      handle([this] { core_.Combo1_Change(Combo1->currentText().toStdU32String(), now()); });
    } else {
      portEditPause_->start();
    }
  });
  connect(Combo1->lineEdit(), &QLineEdit::returnPressed, this, &Form2::applyPortText);
  Combo1->lineEdit()->installEventFilter(this);
  connect(Timer1, &QTimer::timeout, this, [this] { handle([this] { core_.Timer1_Timer(now()); }); });
  // The title says at once why nothing is sent while the value box is empty.
  connect(Text1, &QLineEdit::textChanged, this, [this](const QString& text) {
    core_.ValueBoxChanged(text.toStdU32String());
    refreshStatus();
  });
  showStatus(LinkStatus{});  // no outputs known yet: dimmed red, and the lamps described so

  makeWindows();
}

void Form2::setBoundPorts(const QMap<int, QString>& bound) {
  boundPorts_.clear();
  for (auto it = bound.cbegin(); it != bound.cend(); ++it) boundPorts_[it.key()] = it.value().toStdString();
}

QString Form2::portsTooltip() const {
  // The number as typed, so that the port it names can be checked before it applies.
  const auto typed = ParsePortNumber(Combo1->currentText().toStdU32String());
  std::string tip = PortsTooltip(portLister_(), typed, Translated);
  const std::string bound = BoundPortsTooltip(boundPorts_, typed, Translated);
  if (!bound.empty()) tip += "\n" + bound;
  return QString::fromStdString(tip);
}

void Form2::applyPortText() {
  portEditPause_->stop();
  const Text typed = Combo1->currentText().toStdU32String();
  if (typed == core_.state().PortText) return;
  handle([&] { core_.Combo1_Change(typed, now()); });
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
  const bool portBox = watched == Combo1 || watched == Combo1->lineEdit();
  if (portBox && event->type() == QEvent::FocusOut && portEditPause_->isActive()) applyPortText();
  // The list is looked at afresh each time the tooltip is asked for.
  if (watched == Combo1 && event->type() == QEvent::ToolTip) {
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), portsTooltip(), Combo1);
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void Form2::load(const QString& answer) {
  // The answer shown in the port box configures the port at once, as its change
  // event does; start-up then ends with the flags cleared.
  settingPortText_ = true;
  Combo1->setEditText(answer);
  settingPortText_ = false;
  handle([&] { core_.Form2_Load(answer.toStdU32String(), now()); });
  Text1->setFocus();
  Timer1->start();
}

void Form2::handle(const std::function<void()>& event) {
  event();
  armDeadline();
}

void Form2::armDeadline() {
  if (const auto d = core_.nextDeadline()) {
    deadline_->start(static_cast<int>(std::max<std::int64_t>(0, *d - now())));
  } else {
    deadline_->stop();
  }
  refreshStatus();
}

}  // namespace varnak
