// The register watch offscreen: how it opens, its title and columns, adding,
// removing and editing rows with the keys, writing a value, copying, saving and
// opening its file, and the change mark drawn from the palette. The link
// control's part is played here by a controller in memory that serves the
// list's jobs.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "fakes.h"
#include "panel/form2.h"
#include "panel/watch_delegate.h"
#include "watch_fakes.h"

namespace varnak::testing {
namespace {

std::string Joined(const QStringList& list) { return list.join(QLatin1Char(' ')).toStdString(); }

class WatchWindowTest : public ::testing::Test {
 protected:
  WatchWindowTest() {
    form.setClock([this] { return now; });
    form.load(QStringLiteral("1"));
    form.Timer1->stop();
    // The controller in memory serves the list; the link control hands it nothing.
    form.core().setListSource(nullptr);
    watch = form.watch();
    view = watch->view();
    model = watch->model();
  }
  ~WatchWindowTest() override { form.close(); }

  void showWatch() {
    form.openWatch();
    ASSERT_TRUE(QTest::qWaitForWindowActive(watch));
  }
  WatchList& list() { return form.watchList(); }
  // Serves the list's next jobs as the link control would, 70 ms apart.
  void serve(int jobs) {
    RunJobs(list(), controller, jobs, now);
    model->refresh();
  }
  QModelIndex cell(int row, int column) const { return model->index(row, column); }
  // Keys to whatever has the focus: the table, or the editor it opened.
  void type(const QString& text) {
    for (QChar c : text) QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
  }
  // The editor hands its text over on Enter by a queued call: run it.
  void key(Qt::Key k) {
    QTest::keyClick(QApplication::focusWidget(), k);
    QApplication::processEvents();
  }
  void addByTyping(const QString& reg) {
    view->setCurrentIndex(cell(model->rowCount() - 1, WatchModel::Register));
    view->setFocus();
    type(reg);
    key(Qt::Key_Return);
  }
  QStringList registers() {
    QStringList out;
    for (std::size_t i = 0; i < form.watchList().size(); ++i)
      out << WatchModel::registerText(form.watchList().row(i).entry.reg);
    return out;
  }
  QColor colourAt(const QModelIndex& index) {
    view->viewport()->repaint();
    const QImage shot = view->viewport()->grab().toImage();
    const QRect r = view->visualRect(index);
    // A corner of the cell, away from its text.
    return shot.pixelColor(r.left() + 2, r.top() + 2);
  }

  FakePort port;
  Form2 form{port};
  std::int64_t now = 7000000;
  ListController controller;
  WatchWindow* watch = nullptr;
  QTableView* view = nullptr;
  WatchModel* model = nullptr;
};

TEST_F(WatchWindowTest, CtrlRAndTheContextMenuOpenItAndClosingStopsTheReads) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_FALSE(watch->isVisible());
  ASSERT_EQ(list().add(01000), "");
  EXPECT_FALSE(list().hasWork()) << "nothing is read while the window is closed";
  QTest::keyClick(&form, Qt::Key_R, Qt::ControlModifier);
  EXPECT_TRUE(watch->isVisible());
  EXPECT_TRUE(list().hasWork());
  watch->close();
  EXPECT_FALSE(list().hasWork());
  QAction* open = form.findChild<QAction*>(QStringLiteral("openWatch"));
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(open->text(), Form2::tr("Register watch…"));
  EXPECT_EQ(open->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
  EXPECT_TRUE(form.actions().contains(open)) << "in the context menu";
  open->trigger();
  EXPECT_TRUE(watch->isVisible());
  EXPECT_FALSE(watch->testAttribute(Qt::WA_QuitOnClose)) << "the watch must not keep the program alive";
  form.close();
  EXPECT_FALSE(watch->isVisible()) << "closing the window closes the watch";
}

TEST_F(WatchWindowTest, TitleAndColumns) {
  EXPECT_EQ(watch->windowTitle(), QStringLiteral("Register watch"));
  const QStringList columns = {"Register", "Name", "Format", "Value", "Status", "Last read"};
  ASSERT_EQ(model->columnCount(), columns.size());
  for (int c = 0; c < columns.size(); ++c)
    EXPECT_EQ(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), columns[c]);
  EXPECT_EQ(model->rowCount(), 1) << "the empty row for adding";
}

TEST_F(WatchWindowTest, TypingARegisterIntoTheLastRowAddsIt) {
  showWatch();
  addByTyping(QStringLiteral("R1000"));
  addByTyping(QStringLiteral("17"));
  EXPECT_EQ(Joined(registers()), "R1000 R17");
  EXPECT_EQ(model->rowCount(), 3);
  EXPECT_EQ(cell(0, WatchModel::Format).data().toString(), QStringLiteral("hex"));
  EXPECT_EQ(cell(0, WatchModel::Status).data().toString(), QStringLiteral("not read yet"));
  EXPECT_TRUE(watch->messageLabel()->text().isEmpty());

  const struct {
    const char* typed;
    const char* says;
  } refused[] = {
      {"r1000", "R1000 is already in the list"},
      {"2008", "register 2008 is not octal"},
      {"100000", "register 100000 is above 77777"},
  };
  for (const auto& r : refused) {
    addByTyping(QString::fromLatin1(r.typed));
    EXPECT_EQ(watch->messageLabel()->text(), QString::fromUtf8(r.says)) << r.typed;
    EXPECT_EQ(Joined(registers()), "R1000 R17") << r.typed;
  }
  serve(2);
  EXPECT_EQ(controller.trace, (std::vector<std::string>{"R1000", "R17"}));
}

TEST_F(WatchWindowTest, DeleteRemovesTheSelectedRows) {
  for (unsigned r : {01u, 02u, 03u, 04u}) ASSERT_EQ(list().add(r), "");
  watch->model()->refresh();
  showWatch();
  view->selectionModel()->select(cell(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  view->selectionModel()->select(cell(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  view->setFocus();
  QTest::keyClick(view, Qt::Key_Delete);
  EXPECT_EQ(Joined(registers()), "R2 R4");
  EXPECT_EQ(model->rowCount(), 3);
  view->clearSelection();
  view->selectionModel()->select(cell(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  QTest::keyClick(view, Qt::Key_Delete);
  EXPECT_EQ(Joined(registers()), "R2 R4") << "the empty row stays";
}

TEST_F(WatchWindowTest, NameAndFormatAreEditedInPlace) {
  ASSERT_EQ(list().add(01000), "");
  model->refresh();
  showWatch();
  view->setCurrentIndex(cell(0, WatchModel::Name));
  view->setFocus();
  key(Qt::Key_F2);
  auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(edit, nullptr);
  type(QStringLiteral("pump"));
  key(Qt::Key_Return);
  EXPECT_EQ(list().row(0).entry.name, "pump");

  view->setCurrentIndex(cell(0, WatchModel::Format));
  key(Qt::Key_F2);
  auto* box = qobject_cast<QComboBox*>(QApplication::focusWidget());
  ASSERT_NE(box, nullptr) << "the format is chosen from a list";
  ASSERT_EQ(box->count(), kRegisterFormatCount);
  EXPECT_EQ(box->currentText(), QStringLiteral("hex"));
  const int s32 = box->findText(QStringLiteral("s32"));
  ASSERT_GE(s32, 0);
  box->setCurrentIndex(s32);
  emit box->activated(s32);
  QApplication::processEvents();
  EXPECT_EQ(list().row(0).entry.format, RegisterFormat::S32);
  EXPECT_EQ(cell(0, WatchModel::Format).data().toString(), QStringLiteral("s32"));
  EXPECT_EQ(model->data(cell(0, WatchModel::Register), Qt::ToolTipRole).toString(),
            QStringLiteral("R1000 and R1001"));
}

TEST_F(WatchWindowTest, EnterInAValueWritesItAndLeavingTheCellDoesNot) {
  ASSERT_EQ(list().add(01000, RegisterFormat::Signed), "");
  model->refresh();
  showWatch();
  view->setCurrentIndex(cell(0, WatchModel::Value));
  view->setFocus();
  type(QStringLiteral("5"));
  EXPECT_EQ(QApplication::focusWidget(), view) << "a stray key does not open a value";
  key(Qt::Key_F2);
  type(QStringLiteral("-2"));
  key(Qt::Key_Escape);
  EXPECT_EQ(list().statusText(0), "not read yet");

  const QPoint at = view->visualRect(cell(0, WatchModel::Value)).center();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
  QApplication::processEvents();
  auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(edit, nullptr);
  edit->selectAll();
  type(QStringLiteral("-2"));
  view->setCurrentIndex(cell(0, WatchModel::Name));  // leaves the cell: nothing is written
  QApplication::processEvents();
  EXPECT_EQ(list().statusText(0), "not read yet");

  view->setCurrentIndex(cell(0, WatchModel::Value));
  key(Qt::Key_F2);
  edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(edit, nullptr);
  edit->selectAll();
  type(QStringLiteral("-2"));
  key(Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_EQ(cell(0, WatchModel::Status).data().toString(), QStringLiteral("writing…"));
  serve(2);
  EXPECT_EQ(controller.trace, (std::vector<std::string>{"W1000=FFFE", "R1000"}));
  EXPECT_EQ(cell(0, WatchModel::Value).data().toString(), QStringLiteral("-2"));
  EXPECT_EQ(cell(0, WatchModel::Status).data().toString(), QStringLiteral("written"));

  view->setCurrentIndex(cell(0, WatchModel::Value));
  key(Qt::Key_F2);
  edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(edit, nullptr);
  edit->selectAll();
  type(QStringLiteral("40000"));
  key(Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_FALSE(watch->messageLabel()->text().isEmpty()) << "a value that does not fit is refused, and why";
  EXPECT_EQ(list().statusText(0), "written");
}

TEST_F(WatchWindowTest, CtrlACtrlCCopiesTheRowsAsTabSeparatedText) {
  ASSERT_EQ(list().add(01000, RegisterFormat::Hex, "pump\tspeed"), "");
  ASSERT_EQ(list().add(017, RegisterFormat::Unsigned, "level"), "");
  ASSERT_EQ(list().add(02000, RegisterFormat::Signed), "");
  controller.regs = {{01000, 0x00A5}, {017, 300}};
  controller.failAt[2] = Failure::NoReply;
  model->refresh();
  showWatch();
  serve(3);
  view->setFocus();
  QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
  const QString time = QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d{3}");
  const QRegularExpression expected(
      QRegularExpression::anchoredPattern(QStringLiteral("Register\tName\tFormat\tValue\tStatus\tLast read\n"
                                                         "R1000\tpump speed\thex\t00A5\t\t%1\n"
                                                         "R17\tlevel\tunsigned\t300\t\t%1\n"
                                                         "R2000\t\tsigned\t\tno reply\t\n")
                                              .arg(time)));
  const QString copied = QApplication::clipboard()->text();
  EXPECT_TRUE(expected.match(copied).hasMatch()) << copied.toStdString();
  for (const QString& line : copied.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
    EXPECT_EQ(line.count(QLatin1Char('\t')), 5) << "six cells a row: " << line.toStdString();
}

TEST_F(WatchWindowTest, SavedThenOpenedGivesTheSameListAndASaveNeverCostsTheOldFile) {
  ASSERT_EQ(list().add(01000, RegisterFormat::F32HiLo, "flow, m³/h"), "");
  ASSERT_EQ(list().add(017, RegisterFormat::Binary, "valves \"A\""), "");
  const std::vector<WatchEntry> saved = list().entries();
  model->refresh();
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("list.csv"));
  QString error;
  watch->setPathAskers([&] { return path; }, [&] { return path; });
  watch->setWarner([&](const QString& text) { error = text; });
  watch->save();
  EXPECT_TRUE(error.isEmpty()) << error.toStdString();
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().toStdString(), FormatWatchFile(saved));
  file.close();

  model->removeListRows({0, 1});
  ASSERT_EQ(list().size(), 0u);
  watch->open();
  EXPECT_TRUE(error.isEmpty()) << error.toStdString();
  EXPECT_EQ(list().entries(), saved);
  EXPECT_EQ(model->rowCount(), 3);

  // A list too large for the 4 kB files may grow to: the old file stays whole.
  std::vector<WatchEntry> many;
  for (unsigned r = 0; r < kMaxWatchRows; ++r)
    many.push_back(WatchEntry{r, "a name of some length", RegisterFormat::Hex});
  ASSERT_TRUE(model->replaceAll(many, &error)) << error.toStdString();
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool ok = watch->saveTo(path, &error);
  setrlimit(RLIMIT_FSIZE, &before);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(ok);
  EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot save ") + path + QStringLiteral(": ")))
      << error.toStdString();
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().toStdString(), FormatWatchFile(saved));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("list.csv")})
      << "no half-written file left beside it";
}

TEST_F(WatchWindowTest, ABadFileIsRefusedWholeWithItsLineAndTheListStays) {
  ASSERT_EQ(list().add(05), "");
  QTemporaryDir dir;
  const struct {
    const char* name;
    const char* bytes;
    const char* says;  // after "PATH:"
  } files[] = {
      {"NotOctal", "register,name,format\nR1000,a,hex\nR2008,b,hex\n", "3: "},
      {"UnknownFormat", "register,name,format\nR1000,a,hex\nR1001,b,hex\nR1002,c,dec\n", "4: "},
  };
  for (const auto& f : files) {
    const QString path = dir.filePath(QString::fromLatin1(f.name) + QStringLiteral(".csv"));
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(f.bytes);
    out.close();
    QString error;
    watch->setPathAskers([&] { return path; }, {});
    watch->setWarner([&](const QString& text) { error = text; });
    watch->open();
    EXPECT_TRUE(error.startsWith(path + QLatin1Char(':') + QString::fromLatin1(f.says)))
        << error.toStdString();
    EXPECT_GT(error.size(), path.size() + 4) << "the reason is named";
    EXPECT_EQ(Joined(registers()), "R5") << f.name << ": nothing half-loaded";
  }
  QString error;
  EXPECT_FALSE(watch->openFile(dir.filePath(QStringLiteral("missing.csv")), &error));
  EXPECT_TRUE(error.startsWith(QStringLiteral("cannot read ") + dir.filePath(QStringLiteral("missing.csv"))))
      << error.toStdString();
}

TEST_F(WatchWindowTest, AChangedValueIsMarkedWithThePalettesHighlightUntilTwoSecondsPass) {
  ASSERT_EQ(list().add(01000), "");
  ASSERT_EQ(list().add(02000), "");
  controller.regs[01000] = 1;
  model->refresh();
  showWatch();
  view->clearSelection();
  view->setCurrentIndex(cell(2, WatchModel::Register));
  serve(2);
  controller.regs[01000] = 2;
  serve(2);
  const QModelIndex value = cell(0, WatchModel::Value);
  EXPECT_TRUE(value.data(WatchModel::ChangedRole).toBool());
  EXPECT_FALSE(cell(1, WatchModel::Value).data(WatchModel::ChangedRole).toBool());

  for (const QColor& highlight : {QColor(0xC0, 0x10, 0x10), QColor(0x10, 0x90, 0x30)}) {
    QPalette p = view->palette();
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));  // a dark palette
    view->setPalette(p);
    const QColor mark = WatchDelegate::markColour(p);
    EXPECT_NE(mark, p.color(QPalette::Base));
    EXPECT_EQ(colourAt(value), mark) << highlight.name().toStdString();
    EXPECT_NE(colourAt(cell(1, WatchModel::Value)), mark) << "an unchanged value is not marked";
  }
  // The window's own timer takes the mark away once two seconds have passed.
  now += kChangeMarkMs;
  QTest::qWait(WatchWindow::kRefreshMs * 2);
  EXPECT_FALSE(value.data(WatchModel::ChangedRole).toBool());
  EXPECT_EQ(colourAt(value), view->palette().color(QPalette::Base));
}

TEST_F(WatchWindowTest, OnlyTheRowsThatChangedAreRedrawn) {
  for (unsigned r : {01u, 02u, 03u, 04u}) ASSERT_EQ(list().add(r), "");
  list().setActive(true);
  model->refresh();
  std::vector<std::pair<int, int>> changed;
  QObject::connect(model, &QAbstractItemModel::dataChanged, [&](const QModelIndex& a, const QModelIndex& b) {
    changed.emplace_back(a.row(), b.row());
  });
  serve(2);
  EXPECT_EQ(changed, (std::vector<std::pair<int, int>>{{0, 1}}));
  changed.clear();
  model->refresh();
  EXPECT_TRUE(changed.empty()) << "nothing changed, nothing drawn";
  serve(1);
  EXPECT_EQ(changed, (std::vector<std::pair<int, int>>{{2, 2}}));
}

}  // namespace
}  // namespace varnak::testing
