// The window on a simulator's pseudo-terminal, started as the operator starts
// it: port 1 bound to the pty, the start-up prompt answered with its default,
// the window shown. For fixtures of the end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QTest>
#include <QTimer>
#include <memory>

#include "panel/form2.h"
#include "panel/startup.h"
#include "serial/numbered_port.h"
#include "sim_process.h"

namespace varnak::testing {

struct WindowOnSim {
  std::unique_ptr<SimProcess> sim;
  std::unique_ptr<NumberedPort> port;
  std::unique_ptr<Form2> form;

  void start(const QStringList& simArgs) {
    sim = std::make_unique<SimProcess>(simArgs);
    ASSERT_TRUE(sim->device().startsWith(QLatin1String("/dev/"))) << sim->device().toStdString();
    port = std::make_unique<NumberedPort>(QMap<int, QString>{{1, sim->device()}});
    form = std::make_unique<Form2>(*port);
    WireStatusLines(*form);
    QTimer::singleShot(200, [] {
      if (auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget()))
        QTest::keyClick(box, Qt::Key_Return);
    });
    form->load(AskPortNumber());
    form->show();
    form->activateWindow();  // clicks and keys go to the window that has the focus
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }
};

// The window on port 1 bound to `address`, polling.
struct WindowOnLine {
  explicit WindowOnLine(const QString& address) : port({{1, address}}), form(port) {
    WireStatusLines(form);
    form.load(QStringLiteral("1"));
  }
  ~WindowOnLine() {
    form.Timer1->stop();
    port.close();
  }
  QString lamps() const {
    QString s;
    for (int i = 7; i >= 0; --i) s += form.lampIsGreen(i) ? QLatin1Char('1') : QLatin1Char('0');
    return s;
  }
  bool lampsLive() const { return !form.lampsDimmed(); }
  NumberedPort port;
  Form2 form;
};

}  // namespace varnak::testing
