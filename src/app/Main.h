#pragma once

// The main window: toolbar panel with three image buttons and the URL field,
// the result area and the status bar. It hosts the download run and shows
// every error that escapes a button's action.

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <memory>
#include <string_view>

#include "core/PageParsing.h"
#include "core/Ports.h"

class ImageButton;
class QFrame;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPlainTextEdit;
class QStatusBar;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // ports: what the window's actions call out through, kept for its
  // lifetime.
  explicit TForm1(const quillo::Ports& ports, QWidget* parent = nullptr);
  ~TForm1() override;

  QFrame* Panel1;
  QLineEdit* Edit1;
  ImageButton* SpeedButton1;
  ImageButton* SpeedButton2;
  ImageButton* SpeedButton3;
  QPlainTextEdit* Memo1;
  QStatusBar* StatusBar;

  // Button actions; errors leave them and are shown by whoever clicked.
  void SpeedButton1Click(QObject* Sender);
  void SpeedButton2Click(QObject* Sender);
  void SpeedButton3Click(QObject* Sender);
  void FormCreate(QObject* Sender);
  void FormDestroy(QObject* Sender);

  // Shows an error message (CP932) in the modal error box.
  void ShowError(std::string_view message);

  // True while a download run is going on.
  bool running() const { return running_; }

 protected:
  // A close request during a run waits for the run's end.
  void closeEvent(QCloseEvent* event) override;
  // Shows the prepared error box modally.
  virtual void execErrorBox(QMessageBox& box);

 private:
  class View;
  class RunGuard;

  std::unique_ptr<quillo::PageLinkList> PageLinks;
  quillo::Ports ports_;

  // Runs a button's action and shows the error that escapes it.
  void perform(void (TForm1::*action)(QObject*), QObject* sender);
  // Lets the status bar and the result area repaint during a run; line
  // appends are coalesced to about one repaint per frame.
  void showProgress(bool now);

  QLabel* statusText_;
  std::unique_ptr<View> view_;
  bool running_ = false;
  bool closeDeferred_ = false;
  QElapsedTimer sinceShown_;
};

// The application's title from the executable's path: its file name cut
// before the first full stop, every character after the first in lower case.
QString ApplicationTitleOf(const QString& executablePath);
