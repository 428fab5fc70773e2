// The window as the operator sees it: places, captions, lamps, focus, and that
// its events reach the link control.
#include <gtest/gtest.h>

#include <QClipboard>

#include <QFontMetrics>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

#include "fakes.h"
#include "panel/box_check.h"
#include "panel/form2.h"
#include "panel/lamp_pictures.h"
#include "panel/startup.h"
#include "qt_helpers.h"

namespace varnak::testing {
namespace {

struct Control {
  const char* name;
  QRect px;  // left, top, width, height within its container
  const char* caption;
};

const Control kControls[] = {
    {"Frame1", {24, 21, 232, 172}, "数据输入"},
    {"Label4", {56, 27, 49, 17}, "端口号："},
    {"Label3", {104, 27, 25, 17}, "COM"},
    {"Combo1", {128, 24, 33, 21}, "1"},
    {"Label2", {24, 51, 73, 17}, "寄存器号：R"},
    {"Text2", {96, 48, 65, 19}, "2000"},
    {"Command1", {176, 48, 41, 81}, "发送数据"},
    {"Label1", {24, 88, 105, 17}, "写入数据："},
    {"Text1", {32, 112, 129, 19}, "00"},
    {"Command4", {68, 134, 61, 28}, "取消输入"},
    {"Frame2", {296, 19, 158, 174}, "读取数据"},
    {"Label9", {24, 24, 105, 17}, "寄存器数据显示："},
    {"Text5", {24, 48, 97, 19}, ""},
    {"Label10", {8, 91, 73, 17}, "寄存器号：R"},
    {"Text6", {80, 88, 57, 19}, "2000"},
    {"Command3", {40, 120, 65, 49}, "读出"},
    {"Label12", {191, 223, 121, 17}, "PLC输出点状态显示"},
    {"Label14",
     {87, 287, 313, 17},
     "  Q0        Q1         Q2        Q3         Q4         Q5        Q6         Q7"},
    {"Label13",
     {17, 344, 462, 17},
     "本例的通讯设置为：9600bps，奇校验，8位数据位，1位停止位，HEX方式，PLC局号为1"},
};

QString Caption(QWidget* w) {
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
  return {};
}

class PanelTest : public ::testing::Test {
 protected:
  PanelTest() {
    form.load(QStringLiteral("1"));
    form.Timer1->stop();  // ticks are driven by hand here
    form.show();
    form.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
  }
  FakePort port;
  Form2 form{port};
};

TEST_F(PanelTest, EveryControlAtItsPlaceWithItsCaption) {
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Varnak协议通讯"));
  EXPECT_EQ(form.size(), QSize(492, 374));
  for (const Control& c : kControls) {
    auto* w = form.findChild<QWidget*>(QString::fromLatin1(c.name));
    ASSERT_NE(w, nullptr) << c.name;
    EXPECT_EQ(w->geometry(), c.px) << c.name;
    EXPECT_EQ(Caption(w), QString::fromUtf8(c.caption)) << c.name;
    EXPECT_TRUE(w->isVisible() && w->isEnabled()) << c.name;
  }
  EXPECT_EQ(form.Label14->text().size(), 78);
  EXPECT_EQ(form.Combo1->count(), 0);
  EXPECT_TRUE(form.Combo1->isEditable());
  EXPECT_EQ(form.Timer1->interval(), 200);
  for (QLineEdit* e : {form.Text1, form.Text2, form.Text5, form.Text6}) EXPECT_FALSE(e->isReadOnly());
}

TEST_F(PanelTest, CaptionsAreWhole) {
  for (QLabel* l : form.findChildren<QLabel*>()) {
    if (l->window() != &form) continue;  // the line monitor is a window of its own
    if (l->pixmap().isNull() && l != form.Label14) {
      EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->width()) << l->objectName().toStdString();
    }
  }
  for (int i = 0; i < 8; ++i) {
    const QRect name = form.Label14->nameRect(i).translated(form.Label14->pos());
    EXPECT_TRUE(form.Label14->geometry().contains(name)) << i;
    EXPECT_NEAR(name.center().x(), form.imgr[i]->geometry().center().x(), 1) << i;
  }
  const QString lines =
      BalancedLines(form.Command1->text(), form.Command1->fontMetrics(), form.Command1->width() - 8);
  EXPECT_EQ(lines, QStringLiteral("发送\n数据"));
}

TEST_F(PanelTest, LampsStartRedAndChangeOneAtATime) {
  // No outputs are known before the first poll reply: dimmed red.
  const QImage shot = form.grab().toImage();
  for (int i = 0; i < 8; ++i) {
    EXPECT_FALSE(form.lampIsGreen(i));
    EXPECT_EQ(form.imgr[i]->geometry(), form.imgg0[i]->geometry());
    EXPECT_EQ(form.imgr[i]->geometry(), QRect(79 + 40 * i, 247, 37, 37));
    EXPECT_EQ(shot.pixelColor(form.imgr[i]->geometry().topLeft() + QPoint(18, 31)), QColor(192, 64, 64)) << i;
  }
  form.showStatus({false, ""});
  form.setLamp(3, true);
  const QImage after = form.grab().toImage();
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(form.lampIsGreen(i), i == 3);
    const QColor expected = i == 3 ? QColor(0, 255, 0) : QColor(255, 0, 0);
    EXPECT_EQ(after.pixelColor(form.imgr[i]->geometry().topLeft() + QPoint(18, 31)), expected) << i;
  }
  form.setLamp(3, false);
  EXPECT_FALSE(form.lampIsGreen(3));
}

TEST_F(PanelTest, StaleLampsAreDimmedButKeepTheirColour) {
  form.showStatus({false, ""});
  form.setLamp(0, true);
  form.showStatus({true, ""});
  EXPECT_TRUE(form.lampsDimmed());
  const QImage shot = form.grab().toImage();
  const QPoint inside(18, 31);
  EXPECT_EQ(shot.pixelColor(form.imgr[0]->geometry().topLeft() + inside), QColor(64, 192, 64));
  EXPECT_EQ(shot.pixelColor(form.imgr[1]->geometry().topLeft() + inside), QColor(192, 64, 64));
  form.showStatus({false, ""});
  EXPECT_EQ(form.grab().toImage().pixelColor(form.imgr[0]->geometry().topLeft() + inside), QColor(0, 255, 0));
}

TEST_F(PanelTest, NoReplyShowsInTheTitleOncePerChange) {
  QStringList messages;
  QObject::connect(&form, &Form2::statusMessageChanged, [&](const QString& m) { messages << m; });
  form.showStatus({true, "COM1: no reply from the controller"});
  form.showStatus({true, "COM1: no reply from the controller"});
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Varnak协议通讯 - COM1: no reply from the controller"));
  form.showStatus({false, ""});
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Varnak协议通讯"));
  EXPECT_EQ(messages, QStringList({QStringLiteral("COM1: no reply from the controller"), QString()}));
}

TEST(LampPicture, DiscCornersAndHighlight) {
  const QImage red = RedLamp().toImage();
  ASSERT_EQ(red.size(), QSize(37, 37));
  EXPECT_EQ(red.pixelColor(0, 0), QColor(255, 248, 255));
  EXPECT_EQ(red.pixelColor(36, 36), QColor(255, 248, 255));
  EXPECT_EQ(red.pixelColor(18, 34), QColor(255, 0, 0));
  // The highlight up and left of the centre is a checkerboard.
  EXPECT_NE(red.pixelColor(12, 12), red.pixelColor(13, 12));
  const QImage green = GreenLamp().toImage();
  EXPECT_EQ(green.pixelColor(18, 34), QColor(0, 255, 0));
  EXPECT_EQ(green.pixelColor(0, 0), QColor(255, 248, 255));
}

struct LampScale {
  const char* name;
  qreal dpr;
  int pixels;  // device pixels a side
};

class LampAtScale : public ::testing::TestWithParam<LampScale> {};

TEST_P(LampAtScale, DrawnAtTheDevicesResolutionAndRound) {
  const QPixmap picture = RedLamp(37, GetParam().dpr);
  const QImage image = picture.toImage();
  ASSERT_EQ(image.size(), QSize(GetParam().pixels, GetParam().pixels));
  EXPECT_DOUBLE_EQ(picture.devicePixelRatio(), GetParam().pixels / 37.0);
  EXPECT_EQ(image.pixelColor(0, 0), QColor(255, 248, 255)) << "near-white corners";
  const int n = GetParam().pixels;
  EXPECT_EQ(image.pixelColor(n / 2, n - 3), QColor(255, 0, 0));
  // The disc's edge along 64 directions: where red gives way to the corners,
  // as far from the centre each way, within a device pixel.
  const double centre = n / 2.0;
  for (int k = 0; k < 64; ++k) {
    const double a = k * 2 * M_PI / 64, dx = std::cos(a), dy = std::sin(a);
    double edge = 0;
    // From just outside the highlight, outwards.
    for (double r = n * 0.44; r < n; r += 0.25) {
      const int x = static_cast<int>(centre + r * dx), y = static_cast<int>(centre + r * dy);
      if (x < 0 || y < 0 || x >= n || y >= n || image.pixelColor(x, y).green() > 124) break;
      edge = r;
    }
    EXPECT_NEAR(edge, n / 2.0, 1.5) << "direction " << k;
  }
  // Smoothed where there are pixels to smooth with; one of two colours at 1x.
  std::set<QRgb> colours;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) colours.insert(image.pixel(x, y));
  if (GetParam().dpr > 1) {
    EXPECT_GT(colours.size(), 4u);
  } else {
    EXPECT_EQ(colours.size(), 2u);
  }
}

const LampScale kLampScales[] = {
    {"Scale1", 1.0, 37}, {"Scale1_25", 1.25, 46}, {"Scale1_5", 1.5, 56}, {"Scale2", 2.0, 74}};
INSTANTIATE_TEST_SUITE_P(Lamps, LampAtScale, ::testing::ValuesIn(kLampScales),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PanelTest, FocusMovesInTheGivenOrder) {
  EXPECT_EQ(QApplication::focusWidget(), form.Text1);
  const QWidget* expected[] = {form.Command1, form.Text2,  form.Text5,    form.Text6,
                               form.Command3, form.Combo1, form.Command4, form.Text1};
  for (const QWidget* next : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* now = QApplication::focusWidget();
    if (now && now->parentWidget() == form.Combo1) now = form.Combo1;  // the combo's line edit
    EXPECT_EQ(now, next) << (now ? now->objectName().toStdString() : "none");
  }
  EXPECT_EQ(form.core().state().PollHold, false) << "tabbing into a box is not a click";
}

// What the operator types stays in the box as typed; a text that cannot be
// meant marks the box and sends nothing, and the title says why.
TEST_F(PanelTest, TypedRegisterStaysAsTypedAndAWrongOneSendsNothing) {
  form.Text2->clear();
  form.Text2->setFocus();
  QTest::keyClicks(form.Text2, QStringLiteral("2008"));
  EXPECT_EQ(form.Text2->text(), QStringLiteral("2008")) << "no keystroke is dropped";
  EXPECT_TRUE(BoxMarked(form.Text2));
  EXPECT_FALSE(form.Text2->toolTip().isEmpty());
  QTest::mouseClick(form.Command1, Qt::LeftButton);
  EXPECT_TRUE(port.written.empty());
  EXPECT_EQ(form.windowTitle(), kWindowTitle + QStringLiteral(" - register 2008 is not octal"));

  QTest::keyClick(form.Text2, Qt::Key_Backspace);
  EXPECT_FALSE(BoxMarked(form.Text2));
  form.Text1->clear();
  QTest::keyClicks(form.Text1, QStringLiteral("12G4"));
  EXPECT_EQ(form.Text1->text(), QStringLiteral("12G4"));
  EXPECT_TRUE(BoxMarked(form.Text1));
  QTest::mouseClick(form.Command1, Qt::LeftButton);
  EXPECT_TRUE(port.written.empty());
  EXPECT_EQ(form.windowTitle(), kWindowTitle + QStringLiteral(" - value 12G4 is not hex"));

  // Pasted text is kept whole too, and a good one is sent.
  form.Text1->clear();
  QApplication::clipboard()->setText(QStringLiteral("00a5"));
  form.Text1->paste();
  EXPECT_FALSE(BoxMarked(form.Text1));
  QTest::mouseClick(form.Command1, Qt::LeftButton);
  ASSERT_EQ(port.written.size(), 1u);
  EXPECT_EQ(form.windowTitle(), kWindowTitle);
}

TEST_F(PanelTest, ClicksReachTheHandlers) {
  for (QLineEdit* box : {form.Text1, form.Text2, form.Text5, form.Text6}) {
    QTest::mouseClick(form.Command4, Qt::LeftButton);
    EXPECT_FALSE(form.core().state().PollHold);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(form.core().state().PollHold) << box->objectName().toStdString();
  }
  QTest::mouseClick(form.Command1, Qt::LeftButton);
  EXPECT_TRUE(form.core().state().WriteMode);
  ASSERT_EQ(port.written.size(), 1u);
  EXPECT_EQ(BytesToHex(port.written[0]), "4E 21 05");
  // Unanswered, the write goes again from the enquiry after each reply timeout
  // and ends after the last; until then a read would wait for it.
  ASSERT_TRUE(WaitFor([&] { return form.windowTitle().contains(QStringLiteral("not confirmed (no reply)")); },
                      LinkControl::kReplyTimeoutMs * kAttempts + 500));
  EXPECT_EQ(port.written.size(), static_cast<std::size_t>(kAttempts));
  form.Text5->setText(QStringLiteral("old"));
  QTest::mouseClick(form.Command3, Qt::LeftButton);
  EXPECT_FALSE(form.core().state().WriteMode);
  EXPECT_EQ(form.Text5->text(), QString());
  EXPECT_EQ(port.written.size(), kAttempts + 1u);
  // Enter and Esc press no button.
  QTest::keyClick(form.Text1, Qt::Key_Return);
  QTest::keyClick(form.Text1, Qt::Key_Escape);
  EXPECT_EQ(port.written.size(), kAttempts + 1u);
}

TEST_F(PanelTest, TimerTicksAndPortBoxEditsReachTheHandlers) {
  form.Timer1->start();
  ASSERT_TRUE(WaitFor([&] { return !port.written.empty(); }, 1000));
  EXPECT_TRUE(form.core().state().PollMode);
  form.Timer1->stop();
  form.Combo1->setFocus();
  form.Combo1->lineEdit()->selectAll();
  QTest::keyClicks(form.Combo1, QStringLiteral("12"));
  QTest::keyClick(form.Combo1, Qt::Key_Return);
  EXPECT_EQ(form.core().state().PortText, U"12");
  EXPECT_EQ(port.number, 12);
  EXPECT_EQ(form.Combo1->count(), 0) << "Enter must not add the number to the list";
}

// A number typed digit by digit applies whole: after a pause, at Enter, or
// when the box loses the focus. Meanwhile polling goes on with the number in
// force (3), and no frame goes to port 1, which "12" only passed through.
struct PortEditCase {
  const char* name;
  std::function<void(Form2&)> finish;  // what the operator does after typing
  bool appliedAtOnce;                  // applied before the pause would end
};
void PrintTo(const PortEditCase& c, std::ostream* os) { *os << c.name; }

class PortEdit : public ::testing::TestWithParam<PortEditCase> {};

TEST_P(PortEdit, TypedNumberAppliesWholeOnce) {
  const PortEditCase& c = GetParam();
  FakePort port;
  Form2 form(port);
  form.load(QStringLiteral("3"));
  form.Timer1->stop();
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  EXPECT_EQ(port.number, 3) << "the number answered at start-up applies at once";
  const std::size_t setBefore = port.numbersSet.size();
  form.Combo1->setFocus();
  form.Combo1->lineEdit()->selectAll();
  QTest::keyClicks(form.Combo1, QStringLiteral("12"));
  form.core().Timer1_Timer(form.now());  // a tick while typing
  EXPECT_EQ(port.openedWith, (std::vector<std::optional<int>>{3}));
  EXPECT_TRUE(form.portEditPending());
  c.finish(form);
  if (c.appliedAtOnce) {
    EXPECT_FALSE(form.portEditPending());
  }
  ASSERT_TRUE(WaitFor([&] { return !form.portEditPending(); }, Form2::kPortEditPauseMs + 500));
  EXPECT_EQ(std::vector<std::optional<int>>(port.numbersSet.begin() + setBefore, port.numbersSet.end()),
            (std::vector<std::optional<int>>{12}))
      << "one look-up for the number applied, none for its prefixes";
  EXPECT_EQ(port.number, 12);
  EXPECT_FALSE(port.isOpen()) << "the port in force is let go; the next frame opens port 12";
  EXPECT_EQ(std::count(port.openedWith.begin(), port.openedWith.end(), 1), 0);
}

const PortEditCase kPortEdits[] = {
    {"PauseInTyping", [](Form2&) {}, false},
    {"Enter", [](Form2& f) { QTest::keyClick(f.Combo1, Qt::Key_Return); }, true},
    {"FocusLeavesTheBox", [](Form2& f) { f.Text1->setFocus(); }, true},
};
INSTANTIATE_TEST_SUITE_P(Panel, PortEdit, ::testing::ValuesIn(kPortEdits),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PortEditBack, TypingBackTheNumberInForceChangesNothing) {
  FakePort port;
  Form2 form(port);
  form.load(QStringLiteral("3"));
  form.Timer1->stop();
  const std::size_t setBefore = port.numbersSet.size();
  form.Combo1->setEditText(QStringLiteral("31"));
  form.Combo1->setEditText(QStringLiteral("3"));
  form.applyPortText();
  EXPECT_EQ(port.numbersSet.size(), setBefore);
  EXPECT_EQ(port.closes, 0);
}

TEST_F(PanelTest, PortProblemShowsInTheTitle) {
  port.tell("COM3: /dev/ttyS2: Permission denied", form.now());
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Varnak协议通讯 - COM3: /dev/ttyS2: Permission denied"));
  port.tell("", form.now());
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Varnak协议通讯"));
}

}  // namespace
}  // namespace varnak::testing

namespace varnak::testing {
namespace {

TEST_F(PanelTest, PortBoxTooltipListsThePortsAndMarksTheCurrentOne) {
  int looks = 0;
  form.setPortLister([&looks] {
    ++looks;
    return std::vector<PortInfo>{{"/dev/ttyS0"}, {"/dev/ttyUSB0", "", "FT232R USB UART", "FTDI", "A12345"}};
  });
  form.Combo1->setEditText(QStringLiteral("2"));  // marked while typed, before it applies
  QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), form.Combo1->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(form.Combo1, &help);
  EXPECT_EQ(QToolTip::text(),
            QStringLiteral(
                "Serial ports:\n   1  /dev/ttyS0\n▶ 2  /dev/ttyUSB0  FT232R USB UART, FTDI, serial A12345"));
  form.Combo1->setEditText(QStringLiteral("1"));
  EXPECT_TRUE(form.portsTooltip().contains(QStringLiteral("▶ 1  /dev/ttyS0")));
  EXPECT_EQ(looks, 2) << "the list is looked at afresh each time";
  EXPECT_EQ(form.Combo1->count(), 0);
  // Numbers bound with --port, network lines among them, follow the list.
  form.setBoundPorts({{3, QStringLiteral("rfc2217://192.168.1.50:4001")}, {7, QStringLiteral("/dev/pts/9")}});
  form.Combo1->setEditText(QStringLiteral("3"));
  EXPECT_TRUE(form.portsTooltip().endsWith(
      QStringLiteral("\nBound with --port:\n▶ 3  rfc2217://192.168.1.50:4001\n   7  /dev/pts/9")))
      << form.portsTooltip().toStdString();
}

}  // namespace
}  // namespace varnak::testing

namespace varnak::testing {
namespace {

// The window's command line: --opt value and --opt=value alike, one-line errors
// that say what is wrong.
TEST(PanelOptions, ParsedAsDocumented) {
  const struct {
    QStringList args;
    QString devices;  // "N=ADDRESS ..." as bound
    QString error;    // a part of the error, or empty
  } rows[] = {
      {{}, "", ""},
      {{"--port", "1=/dev/pts/3"}, "1=/dev/pts/3", ""},
      {{"--port=2=/dev/ttyUSB0", "--port", "1=/tmp/x"}, "1=/tmp/x 2=/dev/ttyUSB0", ""},
      {{"--trace", "--monitor"}, "", ""},
      {{"--port"}, "", "Missing value after '--port'"},
      {{"--port", "0=/dev/x"}, "", "--port wants N=ADDRESS"},
      {{"--port", "1="}, "", "--port wants N=ADDRESS"},
      {{"--port", "1=tcp://127.0.0.1:4001", "--port", "2=rfc2217://[::1]:4002"},
       "1=tcp://127.0.0.1:4001 2=rfc2217://[::1]:4002",
       ""},
      {{"--port", "3=socket://plc.local:4001"}, "3=socket://plc.local:4001", ""},
      {{"--port", "1=tcp://plc"}, "", "--port tcp://plc: no port number (HOST:PORT)"},
      {{"--port", "1=tcp://plc:70000"}, "", "no port number from 1 to 65535"},
      {{"--port", "1=tcp://::1:4001"}, "", "an IPv6 address goes in brackets"},
      {{"--port", "1=udp://plc:4001"}, "", "unknown kind of address"},
      {{"--timeout", "900"}, "", ""},
      {{"--timeout=0"}, "", "--timeout wants one whole number of ms from 1 to 600000"},
      {{"--timeout", "fast"}, "", "--timeout wants"},
      {{"--bogus"}, "", "Unknown option 'bogus'"},
      {{"--help-all"}, "", "Unknown option 'help-all'"},
      {{"--tra"}, "", "Unknown option 'tra'"},
      {{"extra"}, "", "unexpected argument: extra"},
      {{"--watch", "list.csv"}, "", ""},
      {{"--watch=list.csv"}, "", ""},
      {{"--watch"}, "", "Missing value after '--watch'"},
      {{"--watch="}, "", "--watch wants a file name"},
      {{"--watch", "a.csv", "--watch", "b.csv"}, "", "--watch takes one file"},
  };
  for (const auto& r : rows) {
    const PanelOptions o = ParsePanelOptions(QStringList{"varnak-panel"} + r.args);
    const std::string row = r.args.join(' ').toStdString();
    if (r.error.isEmpty()) {
      EXPECT_TRUE(o.error.isEmpty()) << row << ": " << o.error.toStdString();
    } else {
      EXPECT_TRUE(o.error.contains(r.error)) << row << ": " << o.error.toStdString();
      EXPECT_FALSE(o.error.contains(QLatin1Char('\n'))) << row;
    }
    QStringList bound;
    for (auto i = o.devices.begin(); i != o.devices.end(); ++i)
      bound << QStringLiteral("%1=%2").arg(i.key()).arg(i.value());
    if (r.error.isEmpty()) {
      EXPECT_EQ(bound.join(' '), r.devices) << row;
    }
  }
  EXPECT_TRUE(ParsePanelOptions({"varnak-panel", "--trace"}).trace);
  EXPECT_TRUE(ParsePanelOptions({"varnak-panel", "--monitor"}).monitor);
  EXPECT_TRUE(ParsePanelOptions({"varnak-panel", "--list-ports"}).listPorts);
  EXPECT_TRUE(ParsePanelOptions({"varnak-panel", "--version"}).version);
  EXPECT_TRUE(ParsePanelOptions({"varnak-panel", "-h"}).help);
  EXPECT_EQ(ParsePanelOptions({"varnak-panel", "--watch=list.csv"}).watchFile, QStringLiteral("list.csv"));
}

}  // namespace
}  // namespace varnak::testing
