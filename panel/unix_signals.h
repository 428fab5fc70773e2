// Unix signals as a Qt signal, in the way Qt documents for them: the handler
// only writes the signal's number into a socket pair, and a QSocketNotifier on
// the other end raises received() on the event loop, where anything may be done
// (closing the port, quitting).
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <initializer_list>

namespace varnak {

class UnixSignals : public QObject {
  Q_OBJECT

 public:
  // Catches the signals `caught` from now on. One instance per process.
  explicit UnixSignals(std::initializer_list<int> caught, QObject* parent = nullptr);
  ~UnixSignals() override;

 signals:
  void received(int signal);

 private:
  void onReadable();
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace varnak
