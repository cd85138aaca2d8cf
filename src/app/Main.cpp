#include "app/Main.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTextCursor>
#include <QVBoxLayout>
#include <QWindow>
#include <limits>
#include <string>

#include "app/ImageButton.h"
#include "core/FormLayout.h"
#include "core/FormScale.h"
#include "core/Messages.h"
#include "platform/Codepage.h"

namespace {

// Every text of the program is CP932; these are the window's only ways in
// and out of Qt's strings.
QString ToQString(std::string_view cp932) {
  return QString::fromStdU16String(quillo::cp932::ToUtf16(cp932));
}

std::string FromQString(const QString& text) {
  return quillo::cp932::FromUtf16(text.toStdU16String());
}

QFont FormFont() {
  // "ＭＳ ゴシック" where present, otherwise a Japanese gothic face of the same
  // build that free systems ship.
  const QString preferred = ToQString(quillo::form::kFontFace);
  QString family = preferred;
  if (!QFontDatabase::hasFamily(preferred)) {
    for (const std::string_view standIn : quillo::form::kFontStandIns) {
      if (QFontDatabase::hasFamily(ToQString(standIn))) {
        family = ToQString(standIn);
        break;
      }
    }
  }
  QFont font(family);
  // The character height without internal leading is the em size.
  font.setPixelSize(quillo::form::kFontPixelHeight);
  return font;
}

// Input that a run must keep out: everything Qt counts as input, and the
// events that bring text or a drop in by other ways.
bool IsUserInput(const QEvent& event) {
  switch (event.type()) {
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return true;
    default:
      return event.isInputEvent();
  }
}

}  // namespace

// The window as the form controller reaches it.
class TForm1::View final : public quillo::FormView, private QObject {
 public:
  explicit View(TForm1& form) : form_(form) {}

  std::string urlText() override { return FromQString(form_.Edit1->text()); }

  void setStatus(std::string_view status) override {
    form_.statusText_->setText(ToQString(status));
  }

  void clearLines() override { form_.Memo1->clear(); }

  // The line and its line break go in at the end, so the area always ends
  // on an empty line and the first line after a clear is the first line.
  void appendLine(std::string_view line) override {
    QTextCursor end(form_.Memo1->document());
    end.movePosition(QTextCursor::End);
    end.insertText(ToQString(line) + QLatin1Char('\n'));
  }

  void setUrlText(std::string_view url) override { form_.Edit1->setText(ToQString(url)); }

  void showError(std::string_view text, std::string_view title) override {
    QMessageBox box(QMessageBox::Critical, ToQString(title), ToQString(text), QMessageBox::Ok,
                    &form_);
    box.setTextFormat(Qt::PlainText);
    // Ctrl+C copies the title and the message, as a Windows message box
    // does, so that a message can be passed on as it was shown.
    const QShortcut copy(QKeySequence::Copy, &box, [&box] {
      QGuiApplication::clipboard()->setText(box.windowTitle() + "\n" + box.text() + "\n");
    });
    form_.execErrorBox(box);
  }

  // While a run lasts, the window takes no user input: the run is using
  // PageLinks and the controls.
  void runStarted() override {
    // Appending thousands of lines must not pile up undo steps.
    form_.Memo1->setUndoRedoEnabled(false);
    QCoreApplication::instance()->installEventFilter(this);
  }

  void runEnded() override {
    QCoreApplication::instance()->removeEventFilter(this);
    form_.Memo1->setUndoRedoEnabled(true);
  }

  void processEvents() override { form_.showProgress(); }

  void closeWindow() override { form_.close(); }

 private:
  bool eventFilter(QObject* /*target*/, QEvent* event) override { return IsUserInput(*event); }

  TForm1& form_;
};

TForm1::TForm1(const quillo::Ports& ports, QWidget* parent) : QMainWindow(parent) {
  namespace form = quillo::form;
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(ToQString(form::kCaption));
  setFont(FormFont());
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  setAutoFillBackground(true);

  auto* client = new QWidget(this);
  Panel1 = new QFrame(client);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setLineWidth(1);
  Panel1->setFixedHeight(form::kPanelHeight);

  Edit1 = new QLineEdit(Panel1);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setGeometry(form::kEdit1.left, form::kEdit1.top, form::kEdit1.width, form::kEdit1.height);
  // An address of any length stays whole (Qt would cut it at 32 767).
  Edit1->setMaxLength(std::numeric_limits<int>::max());
  // A flat one-pixel border instead of the style's sunken frame.
  Edit1->setStyleSheet(
      QStringLiteral("QLineEdit { border: 1px solid palette(window-text); padding: 0px; }"));
  Edit1->setAccessibleName(ToQString(form::kEdit1Name));

  ImageButton** buttons[] = {&SpeedButton1, &SpeedButton2, &SpeedButton3};
  for (int i = 0; i < 3; ++i) {
    const form::Button& layout = form::kSpeedButtons[i];
    auto* button = new ImageButton(QStringLiteral(":/") + ToQString(layout.image),
                                   ToQString(layout.caption), Panel1);
    button->setObjectName(ToQString(layout.name));
    button->setGeometry(layout.place.left, layout.place.top, layout.place.width,
                        layout.place.height);
    // Alt and the button's letter click it from anywhere in the window (the
    // button's own shortcut, which screen readers announce with it); it
    // types nothing into the field that has the focus.
    button->setShortcut(QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(layout.accessKey))));
    button->setToolTip(ToQString(form::ToolTip(layout)));
    *buttons[i] = button;
  }

  Memo1 = new QPlainTextEdit(client);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setFrameStyle(QFrame::Box | QFrame::Plain);
  Memo1->setLineWidth(1);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setTabChangesFocus(true);
  Memo1->setPlainText(ToQString(form::kMemo1Text));
  Memo1->setAccessibleName(ToQString(form::kMemo1Name));

  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(Panel1);
  column->addWidget(Memo1, 1);
  setCentralWidget(client);

  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName(QStringLiteral("StatusBar"));
  StatusBar->setFixedHeight(form::kStatusBarHeight);
  StatusBar->setSizeGripEnabled(true);
  StatusBar->setAccessibleName(ToQString(form::kStatusBarName));
  // A status bar keeps the button face colour, not the window's white.
  QPalette face = StatusBar->palette();
  face.setColor(QPalette::Window, face.color(QPalette::Button));
  StatusBar->setPalette(face);
  StatusBar->setAutoFillBackground(true);
  // One simple panel across the bar; a label rather than the bar's own
  // message, which status tips would overwrite. The label keeps no name of
  // its own: its text is its name, and a screen reader hears each new one.
  statusText_ = new QLabel(StatusBar);
  statusText_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  StatusBar->addWidget(statusText_, 1);
  setStatusBar(StatusBar);

  setTabOrder(Edit1, Memo1);
  Edit1->setFocus();

  resize(form::kClientWidth, form::kClientHeight);
  // The outer frame (538 x 336 with the system's borders and caption) is
  // what stands centred; a window's position is its frame's.
  if (const QScreen* desktop = screen()) {
    QRect outer(QPoint(0, 0), QSize(form::kOuterWidth, form::kOuterHeight));
    outer.moveCenter(desktop->geometry().center());
    move(outer.topLeft());
  }

  view_ = std::make_unique<View>(*this);
  controller_ = std::make_unique<quillo::FormController>(
      ports, *view_, FromQString(ApplicationTitleOf(QCoreApplication::applicationFilePath())));
  using Form = quillo::FormController;
  const auto forward = [this](ImageButton* button, Form::Handler handler) {
    connect(button, &QAbstractButton::clicked, this,
            [this, handler] { controller_->perform(handler); });
  };
  forward(SpeedButton1, &Form::SpeedButton1Click);
  forward(SpeedButton2, &Form::SpeedButton2Click);
  forward(SpeedButton3, &Form::SpeedButton3Click);
  controller_->FormCreate();
}

TForm1::~TForm1() { controller_->FormDestroy(); }

void TForm1::execErrorBox(QMessageBox& box) { box.exec(); }

void TForm1::closeEvent(QCloseEvent* event) {
  if (!controller_->requestClose()) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

void TForm1::showProgress() {
  // The area follows the lines as they come in.
  Memo1->moveCursor(QTextCursor::End);
  // Paints what changed and hears the desktop; the view's filter keeps user
  // input out meanwhile.
  QCoreApplication::processEvents();
}

QString ApplicationTitleOf(const QString& executablePath) {
  const QString fileName = QFileInfo(executablePath).fileName();
  return ToQString(quillo::ApplicationTitle(FromQString(fileName)));
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (const quillo::form::Art& art : quillo::form::kArts) {
    const int side = 16 * art.halves;
    icon.addFile(QString::fromStdString(":/" + quillo::form::ArtFile("quillo.png", art)),
                 QSize(side, side));
  }
  return icon;
}
