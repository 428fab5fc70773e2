// The window: every control at its place, the lamps, the poll timer, and the
// events that reach the link control. The window owns the link control, hands
// it the boxes' texts with its events, and shows what the link control reports
// (the value read, the outputs, the value box normalised); it decides nothing
// itself.
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

#include "control/link_control.h"
#include "panel/line_log.h"
#include "panel/monitor_window.h"
#include "panel/timeline_window.h"
#include "panel/watch_window.h"
#include "panel/widgets.h"
#include "serial/system_ports.h"
#include "timeline/link_recorder.h"
#include "timeline/list_recorder.h"
#include "timeline/recorder.h"
#include "watch/watch_list.h"

namespace varnak {

inline const QString kWindowTitle = QStringLiteral("Varnak协议通讯");

class Form2 : public QWidget, private LinkObserver {
  Q_OBJECT

 public:
  explicit Form2(SerialPort& port, QWidget* parent = nullptr);

  // Start-up with the answer to the port number prompt; starts the poll timer.
  void load(const QString& answer);

  // A number typed into Combo1 is applied once typing pauses this long, or at
  // Enter, or when the box loses the focus, so that no port is opened (and the
  // system's ports are not looked up) for each prefix of the number. Until then
  // polling goes on with the number in force.
  static constexpr int kPortEditPauseMs = 500;
  // Applies the number in Combo1 now if it differs from the one in force.
  void applyPortText();
  // Whether a typed number waits for the pause.
  bool portEditPending() const { return portEditPause_->isActive(); }

  // Asks the link control whether the lamps are live and what the title says,
  // and shows it. Runs at every tick of Timer1 and after every receive event.
  void refreshStatus();
  // Draws the status: dimmed lamps when stale, the message after the title.
  void showStatus(const LinkStatus& status);
  bool lampsDimmed() const { return lampsDimmed_; }

  // The line monitor: fed from the start, shown by Ctrl+M, the context menu's
  // "Line monitor…" (通讯监视…) or --monitor.
  void openMonitor();
  MonitorWindow* monitor() { return monitor_; }
  // The chart of the outputs over time, "输出时序": recording from the start,
  // shown by Ctrl+T, the context menu's "输出时序…" or --timeline.
  void openTimeline();
  TimelineWindow* timeline() { return timeline_; }
  const Recorder& recorder() const { return recorder_; }
  // Milliseconds on a monotonic clock.
  using Clock = std::function<std::int64_t()>;
  // The clock whose time every event of the link control is given, and the
  // recorder's (a monotonic one, unless a test says).
  void setClock(Clock clock);
  std::int64_t now() const { return clock_(); }
  // The register watch, "寄存器监视": a list of registers read between the
  // polls while it is open; shown by Ctrl+R, the context menu's "寄存器监视…"
  // or --watch FILE.
  void openWatch();
  WatchWindow* watch() { return watch_; }
  WatchList& watchList() { return watchList_; }
  // The list has new work: an idle line starts it at once.
  void listChanged();

  // Where the port box's tooltip finds the ports (the system's, unless a test says).
  void setPortLister(PortLister lister) { portLister_ = std::move(lister); }
  // The numbers bound with --port N=ADDRESS, for the port box's tooltip.
  void setBoundPorts(const QMap<int, QString>& bound);
  // The port box's tooltip, as it would be shown now.
  QString portsTooltip() const;

  // Every link event, stamped; --trace adds its sink here.
  LineLog& lineLog() { return lineLog_; }

  // Output Qi (0..7): on brings the green picture to the front, off the red one.
  void setLamp(int output, bool on);

  const LinkControl& core() const { return core_; }
  LinkControl& core() { return core_; }

  // Whether output i's lamp shows green (its green picture in front).
  bool lampIsGreen(int output) const { return lampOn_[static_cast<std::size_t>(output)]; }
  // What a lamp says to whoever cannot tell red from green: its tooltip, also
  // its pictures' accessible name ("Q3: 1 (on)") and description (live or dimmed).
  QString lampToolTip(int output) const;

  QGroupBox* Frame1;
  QLabel* Label4;
  QLabel* Label3;
  QComboBox* Combo1;
  QLabel* Label2;
  ClickableLineEdit* Text2;
  WrappingButton* Command1;
  QLabel* Label1;
  ClickableLineEdit* Text1;
  QPushButton* Command4;
  QGroupBox* Frame2;
  QLabel* Label9;
  ClickableLineEdit* Text5;
  QLabel* Label10;
  ClickableLineEdit* Text6;
  QPushButton* Command3;
  QLabel* Label12;
  std::array<QLabel*, 8> imgr;   // imgr0..imgr7, red
  std::array<QLabel*, 8> imgg0;  // the green array, element i for Qi
  OutputNamesLabel* Label14;
  QLabel* Label13;
  QTimer* Timer1;
  QTimer* deadline_;  // calls the link control back at the deadline it asked for

 signals:
  // The message after the title changed (empty: plain title again).
  void statusMessageChanged(const QString& message);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Sets the tooltip and accessible texts of output i's pictures to its state now.
  void describeLamp(int output);
  // Draws the lamps' pictures, dimmed or not, at the window's device pixel ratio.
  void drawLamps();
  // Runs one event of the link control, then arms the deadline it asks for and
  // shows the status.
  void handle(const std::function<void()>& event);
  // Arms the deadline the link control asks for, and shows the status.
  void armDeadline();
  // The monitor, the chart and the watch beside the window, and their actions.
  void makeWindows();
  void addWindowAction(const QString& text, const char* name, Qt::Key key, void (Form2::*open)());
  // What the link control reports for the window to show.
  void onLinkEvent(const LinkEvent& event) override;
  void onJobEnded(const JobEnd& end) override;

  Clock clock_;  // set before the link control and the recorder, which read it at once
  // Declared before the link control, which reads it, so that it outlives it.
  WatchList watchList_;
  LinkControl core_;
  LineLog lineLog_;
  MonitorWindow* monitor_;
  Recorder recorder_;
  LinkRecorder linkRecorder_;
  TimelineWindow* timeline_;
  WatchWindow* watch_;
  PortLister portLister_ = SystemPorts;
  std::map<int, std::string> boundPorts_;
  QTimer* portEditPause_;
  bool settingPortText_ = false;  // Combo1 set by the link control, not typed
  QString statusMessage_;
  bool lampsDimmed_ = false;
  QPointer<QWindow> followedScreens_;  // the native window whose screen changes redraw the lamps
  bool outputsKnown_ = false;          // a poll reply has set the lamps
  std::array<bool, 8> lampOn_{};       // which picture of each lamp is in front: green when on
};

}  // namespace varnak
