#pragma once

// The main window: toolbar panel with three image buttons and the URL field,
// the result area and the status bar. It builds and draws the controls;
// what it does is core/FormController's, which its events go to.

#include <QIcon>
#include <QMainWindow>
#include <QString>
#include <memory>
#include <string_view>

#include "core/FormController.h"
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

  // What the window does: the handlers, PageLinks, the state of a run.
  quillo::FormController& controller() { return *controller_; }

 protected:
  // During a run a close request ends the run first.
  void closeEvent(QCloseEvent* event) override;
  // Shows the prepared error box modally.
  virtual void execErrorBox(QMessageBox& box);

 private:
  class View;

  // Lets the status bar and the result area repaint during a run.
  void showProgress();

  QLabel* statusText_;
  std::unique_ptr<View> view_;
  std::unique_ptr<quillo::FormController> controller_;
};

// The application's title from the executable's path: its file name cut
// before the first full stop, every character after the first in lower case.
QString ApplicationTitleOf(const QString& executablePath);

// The application icon, drawn for each density the art has.
QIcon ApplicationIcon();
