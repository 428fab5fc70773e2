// The operator's language, one process per locale (the system locale is fixed
// for a process's life): CTest runs these under LANG=zh_CN.UTF-8 with
// VARNAK_EXPECT=zh and under LANG=en_US.UTF-8 with VARNAK_EXPECT=en. The title's
// messages, the monitor's lines, counters and buttons, the lamps' tooltips and
// Qt's own buttons are in that language, and never name a control.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QInputDialog>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "fakes.h"
#include "panel/form2.h"
#include "panel/startup.h"
#include "serial/numbered_port.h"
#include "serial/port_lock.h"
#include "translations/translate.h"

namespace varnak::testing {
namespace {

LinkEvent Event(LinkEvent::Kind kind, ExchangeKind exchange, Cause cause = Cause::None,
                Ruling ruling = Ruling::IgnoredNotAReply, const char* reg = "", const char* value = "") {
  LinkEvent e{kind, {}, ruling, exchange};
  e.cause = cause;
  e.reg = reg;
  e.value = value;
  return e;
}

LinkEvent Failed(ExchangeKind exchange, Failure failure, const char* reg, const char* value) {
  LinkEvent e = Event(LinkEvent::Kind::Failed, exchange, Cause::None, {}, reg, value);
  e.failure = failure;
  return e;
}

LinkEvent Retried(ExchangeKind exchange, Failure failure, const char* reg, const char* value, int attempt) {
  LinkEvent e = Failed(exchange, failure, reg, value);
  e.kind = LinkEvent::Kind::Retried;
  e.attempt = attempt;
  return e;
}

LinkEvent Refused(InputProblem problem, const char* box, const char* typed) {
  LinkEvent e = Event(LinkEvent::Kind::Failed, ExchangeKind::Write);
  e.failure = Failure::BadInput;
  e.input = problem;
  e.inputBox = box;
  e.detail = typed;
  return e;
}

bool Chinese() { return qgetenv("VARNAK_EXPECT") == "zh"; }
// The expected text in the language of this run.
QString Say(const char* zh, const char* en) { return QString::fromUtf8(Chinese() ? zh : en); }

bool HasChinese(const QString& s) {
  return std::any_of(s.begin(), s.end(),
                     [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
}

// A text the operator reads: in this run's language, and in his words.
void ExpectOperatorText(const QString& text) {
  static const QRegularExpression control(
      QStringLiteral("(Text[0-9]|Command[0-9]|Timer1|Combo1|MSComm1|Frame[12]|Label[0-9]|imgr|imgg0)"));
  EXPECT_FALSE(control.match(text).hasMatch()) << "names a control: " << text.toStdString();
  EXPECT_EQ(HasChinese(text), Chinese()) << text.toStdString();
}

// The title after "Varnak协议通讯 - ".
QString TitleMessage(const Form2& form) { return form.windowTitle().section(QStringLiteral(" - "), 1); }

TEST(Language, FollowsTheSystemLocale) {
  EXPECT_EQ(WantsChinese(QLocale::system()), Chinese()) << QLocale::system().name().toStdString();
}

TEST(Language, NoReplyInTheTitle) {
  FakePort port;
  Form2 form(port);
  std::int64_t now = 0;
  form.setClock([&] { return now; });
  form.load(QStringLiteral("1"));
  form.Timer1->stop();
  form.core().Timer1_Timer(form.now());  // enquiries that nothing answers
  now = 200;
  form.core().Timeout(now);
  now = 800;
  form.core().Timer1_Timer(form.now());
  now = 1000;
  form.refreshStatus();
  EXPECT_EQ(TitleMessage(form), Say("COM1：PLC无应答", "COM1: no reply from the controller"));
  ExpectOperatorText(TitleMessage(form));
  EXPECT_EQ(form.windowTitle().section(QStringLiteral(" - "), 0, 0), QStringLiteral("Varnak协议通讯"));
}

TEST(Language, FailedCommandsInTheTitle) {
  FakePort port;
  Form2 form(port);
  std::int64_t now = 0;
  form.setClock([&] { return now; });
  form.load(QStringLiteral("1"));
  form.Timer1->stop();
  form.Command1->click();  // a write whose enquiry nothing answers, at every attempt
  while (const auto deadline = form.core().nextDeadline()) {
    now = *deadline;
    form.core().Timeout(now);
  }
  form.refreshStatus();
  EXPECT_EQ(TitleMessage(form), Say("COM1：写入 R2000 = 0000 未确认（无应答）",
                                    "COM1: write R2000 = 0000 not confirmed (no reply)"));
  ExpectOperatorText(TitleMessage(form));
  form.Text6->setText(QStringLiteral("2008"));
  form.Command3->click();
  form.refreshStatus();
  EXPECT_EQ(TitleMessage(form), Say("寄存器号 2008 不是八进制数", "register 2008 is not octal"));
  ExpectOperatorText(TitleMessage(form));
}

TEST(Language, PortProblemsInTheTitle) {
  const std::vector<PortInfo> two = {{"/dev/ttyS0"}, {"/dev/ttyUSB0"}};
  NumberedPort port({{5, QStringLiteral("/nonexistent/ttyX")}}, [two] { return two; });
  FakePort fake;
  Form2 form(fake);
  const struct {
    std::optional<int> number;
    const char* zh;
    const char* en;
  } cases[] = {
      {3, "COM3：没有这个端口（现有端口：1 /dev/ttyS0, 2 /dev/ttyUSB0）",
       "COM3: no such port (ports: 1 /dev/ttyS0, 2 /dev/ttyUSB0)"},
      {std::nullopt, "端口号无效（请输入1到32767之间的整数）",
       "no valid port number (type a whole number from 1 to 32767)"},
      {5, "COM5: /nonexistent/ttyX：设备不存在", "COM5: /nonexistent/ttyX: No such file or directory"},
  };
  for (const auto& c : cases) {
    port.setPortNumber(c.number);
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.problem(), Say(c.zh, c.en));
    fake.tell(port.problem().toStdString(), form.now());
    EXPECT_EQ(TitleMessage(form), Say(c.zh, c.en));
    ExpectOperatorText(TitleMessage(form));
  }
}

// A line that another program holds, or that refuses the user.
TEST(Language, LineProblemsInTheTitle) {
  const QString label = QStringLiteral("COM1: /dev/ttyUSB0");
  const QString busy =
      OpenFailure{OpenFailure::Kind::Busy, QStringLiteral("varnak (pid 42)")}.sentence(label);
  EXPECT_EQ(busy, Say("COM1: /dev/ttyUSB0 正被 varnak (pid 42) 占用",
                      "COM1: /dev/ttyUSB0 is in use by varnak (pid 42)"));
  const QString denied = OpenFailure{OpenFailure::Kind::Permission, QStringLiteral("x")}.sentence(label);
  EXPECT_EQ(denied, Say("COM1: /dev/ttyUSB0：x（当前用户是否在 dialout 组中？）",
                        "COM1: /dev/ttyUSB0: x (is the user in the dialout group?)"));
  ExpectOperatorText(busy);
}

// The line of every decision, and of every other kind of event, through the
// one formatter that the monitor and --trace share.
TEST(Language, MonitorLinesForEveryDecision) {
  const Bytes reply{0x06, 0x02, 0x34, 0x12, 0x03, 0x26};
  for (int r = 0; r < kRulingCount; ++r) {
    const Ruling ruling = static_cast<Ruling>(r);
    const QString line = FormatLine({{LinkEvent::Kind::Received, reply, ruling}, 0, 1.0});
    const QString decision = QCoreApplication::translate(kLinkEventsContext, RulingText(ruling));
    EXPECT_TRUE(line.endsWith(QStringLiteral(" -> ") + decision)) << line.toStdString();
    ExpectOperatorText(line);
  }
  using K = LinkEvent::Kind;
  const struct {
    LinkEvent event;
    const char* zh;
    const char* en;
  } cases[] = {
      {Event(K::Started, ExchangeKind::Poll, Cause::PollTimer), "-- 轮询定时器启动轮询",
       "-- poll started by the poll timer"},
      {Event(K::Started, ExchangeKind::Write, Cause::WriteButton), "-- “发送数据”按钮启动写入",
       "-- write started by the write button"},
      {Event(K::Started, ExchangeKind::Read, Cause::ReadButton), "-- “读出”按钮启动读出",
       "-- read started by the read button"},
      {Event(K::Completed, ExchangeKind::Read, Cause::None, {}, "R2000", "1234"), "-- 读出 R2000 = 1234 完成",
       "-- read R2000 = 1234 done"},
      {Event(K::Completed, ExchangeKind::Write, Cause::None, {}, "R2000", "00A5"),
       "-- 写入 R2000 = 00A5 已确认", "-- write R2000 = 00A5 confirmed"},
      {Failed(ExchangeKind::Write, Failure::NoReply, "R2000", "0042"), "-- 写入 R2000 = 0042 未确认：无应答",
       "-- write R2000 = 0042 not confirmed: no reply"},
      {Failed(ExchangeKind::Read, Failure::CheckByteBad, "R2000", ""), "-- 读出 R2000 失败：校验错误",
       "-- read R2000 failed: check byte bad"},
      {Refused(InputProblem::NotOctal, "register", "2008"), "-- 写入 未发送：寄存器号 2008 不是八进制数",
       "-- write not sent: register 2008 is not octal"},
      {Event(K::Waiting, ExchangeKind::Read, Cause::None, {}, "R2000"), "-- 读出 R2000 等待当前通讯结束",
       "-- read R2000 waits for the exchange under way"},
      {Event(K::Released, ExchangeKind::Poll, Cause::CommandEnded), "-- 轮询恢复：命令结束",
       "-- polling released: the command ended"},
      {Retried(ExchangeKind::Write, Failure::NoReply, "R2000", "0042", 2),
       "-- 写入 R2000 = 0042：无应答，重试（第 2 次，共 3 次）",
       "-- write R2000 = 0042: no reply, trying again (attempt 2 of 3)"},
      {Event(K::Started, ExchangeKind::ListRead, Cause::RegisterList), "-- 寄存器列表启动列表读出",
       "-- list read started by the register list"},
      {Event(K::Completed, ExchangeKind::ListRead, Cause::None, {}, "R1000", "0041"),
       "-- 列表读出 R1000 = 0041 完成", "-- list read R1000 = 0041 done"},
      {Failed(ExchangeKind::ListWrite, Failure::Refused, "R1000", "FFFE"),
       "-- 列表写入 R1000 = FFFE 未确认：被拒绝", "-- list write R1000 = FFFE not confirmed: refused"},
      {Event(K::Held, ExchangeKind::Poll, Cause::WriteButton),
       "-- 轮询暂停：“发送数据”按钮，直到写入帧头发出",
       "-- polling held: the write button, until the write header goes out"},
      {Event(K::Held, ExchangeKind::Poll, Cause::ClickValueBox), "-- 轮询暂停：点击“写入数据”框",
       "-- polling held: a click into the value box"},
      {Event(K::Held, ExchangeKind::Poll, Cause::ClickWriteRegisterBox),
       "-- 轮询暂停：点击写入的“寄存器号”框", "-- polling held: a click into the write register box"},
      {Event(K::Held, ExchangeKind::Poll, Cause::ClickReadBox), "-- 轮询暂停：点击“寄存器数据显示”框",
       "-- polling held: a click into the read box"},
      {Event(K::Held, ExchangeKind::Poll, Cause::ClickReadRegisterBox), "-- 轮询暂停：点击读出的“寄存器号”框",
       "-- polling held: a click into the read register box"},
      {Event(K::Released, ExchangeKind::Poll, Cause::CancelButton), "-- 轮询恢复：“取消输入”按钮",
       "-- polling released: the cancel button"},
      {Event(K::Released, ExchangeKind::Read, Cause::Reply, Ruling::ReadHeaderSent),
       "-- 轮询恢复：已发送读出帧头", "-- polling released: read header sent"},
      {LinkEvent{K::PortOpened, {}, {}, {}, "COM1"}, "-- 端口已打开：COM1", "-- port opened: COM1"},
      {Event(K::PortClosed, ExchangeKind::Poll, Cause::PortNumberChanged), "-- 端口已关闭：端口号已更改",
       "-- port closed: port number changed"},
      {LinkEvent{K::Sent, {0x4E, 0x21, 0x05}}, "TX 4E 21 05  询问", "TX 4E 21 05  enquiry"},
  };
  for (const auto& c : cases) {
    const QString line = FormatLine({c.event, 45296789, 12.5});
    EXPECT_EQ(line, QStringLiteral("12:34:56.789      12.500 ") + Say(c.zh, c.en));
    ExpectOperatorText(line);
  }
}

TEST(Language, MonitorCountersButtonsAndTitle) {
  FakePort port;
  Form2 form(port);
  form.load(QStringLiteral("1"));
  form.Timer1->stop();
  MonitorWindow* monitor = form.monitor();
  const QString counters = monitor->countersText();
  ExpectOperatorText(counters);
  EXPECT_TRUE(counters.contains(Say("忽略：校验错误", "ignored: check byte bad")));
  EXPECT_TRUE(counters.contains(Say("轮询完成", "polls completed")));
  EXPECT_EQ(monitor->windowTitle(), Say("通讯监视", "Line monitor"));
  EXPECT_EQ(form.actions()[0]->text(), Say("通讯监视…", "Line monitor…"));
  EXPECT_EQ(monitor->pauseButton()->text(), Say("暂停", "Pause"));
  EXPECT_EQ(monitor->clearButton()->text(), Say("清除", "Clear"));
  EXPECT_EQ(monitor->saveButton()->text(), Say("保存…", "Save…"));
  EXPECT_EQ(monitor->resetButton()->text(), Say("计数清零", "Reset counters"));
}

// The output timing chart: its title, menu item and buttons, and the events of
// the files it saves, in the operator's language.
TEST(Language, OutputTimingChartAndItsFiles) {
  FakePort port;
  Form2 form(port);
  std::int64_t now = 100000;
  form.setClock([&now] { return now; });
  form.load(QStringLiteral("1"));
  form.Timer1->stop();
  const auto receive = [&](const Bytes& chunk) {
    port.input = chunk;
    port.deliver(form.now());
  };
  form.core().Timer1_Timer(form.now());
  receive(kEnqAck);
  receive(DataReply(0x00, 0));
  now += 200;
  form.Text1->setText(QStringLiteral("0009"));
  form.Command1->click();
  receive(kEnqAck);
  receive(kAckByte);
  receive(kAckByte);
  now += 3000;
  TimelineWindow* chart = form.timeline();
  EXPECT_EQ(chart->windowTitle(), Say("输出时序", "Output timing"));
  EXPECT_EQ(chart->saveButton()->text(), Say("保存…", "Save…"));
  ExpectOperatorText(chart->followButton()->text());
  QAction* open = nullptr;
  for (QAction* a : form.actions())
    if (a->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_T)) open = a;
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(open->text(), Say("输出时序…", "Output timing…"));
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("out.csv"));
  ASSERT_TRUE(chart->saveTo(path));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString csv = QString::fromUtf8(file.readAll());
  EXPECT_TRUE(csv.contains(Say("\"写入 R2000 = 0009 已确认\"", "\"write R2000 = 0009 confirmed\"")))
      << csv.toStdString();
  EXPECT_TRUE(csv.contains(Say("\"非实时\"", "\"not live\""))) << csv.toStdString();
}

TEST(Language, LampTooltips) {
  FakePort port;
  Form2 form(port);
  form.load(QStringLiteral("1"));
  form.Timer1->stop();
  EXPECT_EQ(form.lampToolTip(3),
            Say("Q3：状态未知\n暗显：尚未收到轮询应答", "Q3: not known yet\ndimmed: no poll reply yet"));
  form.showStatus({false, {}});
  form.setLamp(3, true);
  form.setLamp(4, false);
  EXPECT_EQ(form.lampToolTip(3), Say("Q3：1（接通）\n实时", "Q3: 1 (on)\nlive"));
  EXPECT_EQ(form.lampToolTip(4), Say("Q4：0（断开）\n实时", "Q4: 0 (off)\nlive"));
  form.showStatus({true, {}});
  EXPECT_EQ(form.imgg0[3]->accessibleName(), Say("Q3：1（接通）", "Q3: 1 (on)"));
  EXPECT_EQ(form.imgr[3]->accessibleDescription(),
            Say("暗显：超过1秒没有轮询应答，显示的是最后已知状态",
                "dimmed: no poll reply for over a second; the last state known"));
}

// Qt's own texts come from Qt's translations: the prompt's OK and Cancel.
TEST(Language, QtsOwnButtons) {
  QInputDialog box;
  box.setLabelText(QStringLiteral("COM:"));
  box.show();
  auto* buttons = box.findChild<QDialogButtonBox*>();
  ASSERT_NE(buttons, nullptr);
  EXPECT_EQ(buttons->button(QDialogButtonBox::Ok)->text().remove(QLatin1Char('&')), Say("确定", "OK"));
  EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')),
            Say("取消", "Cancel"));
}

// Scripts and the man page read --help: English in every locale.
TEST(Language, HelpStaysEnglish) { EXPECT_FALSE(HasChinese(PanelUsage())); }

}  // namespace
}  // namespace varnak::testing

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  varnak::UsePlainEventLoop();
  QApplication app(argc, argv);
  varnak::ApplyPanelFont(app);
  varnak::InstallTranslators(QLocale::system());  // as the window does
  return RUN_ALL_TESTS();
}
