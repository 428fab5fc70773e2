// The register watch ("Register watch", 寄存器监视 in Chinese): a table of
// registers that the link control reads in turn between the output polls, with
// their values, the status of the last read and its time. A register typed into
// the last row is added, Delete removes the selected rows, the name and the
// format are edited in place, and a value typed into the value cell is written.
// The list is read while the window is open; closing it stops the reads.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "panel/watch_model.h"

namespace varnak {

class WatchWindow : public QWidget {
  Q_OBJECT

 public:
  // How often the table looks for new values and for change marks to take away, while shown.
  static constexpr int kRefreshMs = 250;

  WatchWindow(WatchList& list, WatchModel::Clock clock, QWidget* parent = nullptr);

  // The list from a file (see watch/watch_file.h); a bad file changes nothing
  // and `error` names the file, the line and why.
  bool openFile(const QString& path, QString* error = nullptr);
  // The list into `path`, which is replaced only once the whole file is written.
  bool saveTo(const QString& path, QString* error = nullptr);
  void open();
  void save();
  // The file names asked for by Open… and Save…, and where refusals are said
  // (dialogs, unless a test says).
  void setPathAskers(std::function<QString()> open, std::function<QString()> save);
  void setWarner(std::function<void(const QString&)> warn) { warn_ = std::move(warn); }

  // The selected rows as tab-separated text: the header, then six cells a row.
  QString selectedText() const;
  void copySelection() const;
  void removeSelected();

  WatchModel* model() { return model_; }
  QTableView* view() { return view_; }
  QLabel* messageLabel() { return message_; }
  QPushButton* openButton() { return open_; }
  QPushButton* saveButton() { return save_; }
  QPushButton* removeButton() { return remove_; }

 signals:
  // The list has new work (shown, a row added, a value to write, a file opened).
  void workAdded();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Sizes the columns from the font; returns the width they want together.
  int sizeColumns();
  // Widens the window, before it is first shown, so that every column has room.
  void fitWidth();
  void say(const QString& message);

  WatchList& list_;
  WatchModel* model_;
  QTableView* view_;
  QLabel* message_;
  QPushButton* open_;
  QPushButton* save_;
  QPushButton* remove_;
  QTimer refresh_;
  bool fitted_ = false;
  std::function<QString()> askOpen_;
  std::function<QString()> askSave_;
  std::function<void(const QString&)> warn_;
};

}  // namespace varnak
