// The main window on the offscreen platform: layout, keyboard, the error box
// and downloads against a loopback test server, the window's ports being the
// test's own.

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFile>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ImageButton.h"
#include "app/Main.h"
#include "core/PageParsing.h"
#include "core/SiteRoot.h"
#include "core/TextRules.h"
#include "core/Texts.h"
#include "platform/Codepage.h"
#include "platform/Info.h"
#include "platform/Tls.h"
#include "support/FakeShell.h"
#include "support/LoopbackSite.h"
#include "support/Pages.h"

using quillo::testing::Anchor;
using quillo::testing::kHeadOk;
using quillo::testing::LoopbackSockets;
using quillo::testing::Page;
using quillo::testing::Reply;
using quillo::testing::ServePages;
using quillo::testing::TestServer;

namespace {

const std::string kSiteHost(quillo::kSiteRoot.substr(7));
const std::string kFirstPage = "http://" + kSiteHost + "/servlet/p1";

QString Shown(std::string_view cp932) {
  return QString::fromStdU16String(quillo::cp932::ToUtf16(cp932));
}

QString Progress(int page, int total) {
  return Shown(quillo::text::Format(quillo::texts::kPageProgressFormat, {page, total}));
}

// Loopback for the site's host; every other name is unknown, so that no test
// waits on a real name server.
class OfflineSockets : public LoopbackSockets {
 public:
  using LoopbackSockets::LoopbackSockets;
  std::optional<std::uint32_t> hostByName(const std::string& name) override {
    if (name == kSiteHost) return LoopbackSockets::hostByName(name);
    return std::nullopt;
  }
};

struct ShownBox {
  QString title;
  QString text;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons;
  Qt::TextFormat format;
};

// The window with its error box recorded instead of shown, so that nothing
// blocks.
class RecordingForm : public TForm1 {
 public:
  RecordingForm(const quillo::Ports& ports, std::vector<ShownBox>& boxes)
      : TForm1(ports), boxes_(boxes) {}

 protected:
  void execErrorBox(QMessageBox& box) override {
    boxes_.push_back(
        {box.windowTitle(), box.text(), box.icon(), box.standardButtons(), box.textFormat()});
  }

 private:
  std::vector<ShownBox>& boxes_;
};

// Records the status text each time the status bar paints.
class StatusPaints : public QObject {
 public:
  explicit StatusPaints(QLabel* label) : label_(label) { label_->installEventFilter(this); }
  QStringList texts;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && (texts.isEmpty() || texts.last() != label_->text())) {
      texts << label_->text();
    }
    return false;
  }

 private:
  QLabel* label_;
};

// Lets the event loop run until condition holds or five seconds pass; the
// comparison after it tells what was wrong. (Qt 6.8's QTRY_ macros narrow
// their timeout to int, which -Wconversion rejects.)
template <typename Condition>
void WaitUntil(Condition condition) {
  static_cast<void>(QTest::qWaitFor(condition, 5000));
}

}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void initialState();
  void geometry_data();
  void geometry();
  void resizing_data();
  void resizing();
  void scaled();
  void keyboard();
  void accessKeys();
  void imageButtons_data();
  void imageButtons();
  void errorBox_data();
  void errorBox();
  void applicationTitle_data();
  void applicationTitle();
  void download_data();
  void download();
  void urlFieldGoesOutAsCp932();
  void closeDuringStalledRun();
  void tenThousandLines();
  void liteButtonOpensTheLitePage();

 private:
  void serve(std::vector<Reply> replies);
  QString statusText() const { return form_->StatusBar->findChild<QLabel*>()->text(); }

  std::unique_ptr<TForm1> form_;
  std::vector<ShownBox> boxes_;
  std::optional<TestServer> server_;
  std::optional<OfflineSockets> sockets_;
  quillo::shell::testing::FakeShell shell_;
};

void TestMainWindow::init() {
  boxes_.clear();
  shell_.windows.clear();
  sockets_.emplace(0, std::vector<std::string>{kSiteHost});
  form_ = std::make_unique<RecordingForm>(
      quillo::Ports{*sockets_, quillo::net::SystemTls(), shell_, quillo::SystemLauncher()}, boxes_);
  form_->show();
  form_->activateWindow();  // an X server without a window manager activates nothing itself
  QVERIFY(QTest::qWaitForWindowActive(form_.get()));
}

void TestMainWindow::cleanup() {
  form_.reset();
  sockets_.reset();
  server_.reset();
}

void TestMainWindow::serve(std::vector<Reply> replies) {
  server_.emplace(std::move(replies));
  sockets_->leadTo(server_->port());
}

void TestMainWindow::initialState() {
  QCOMPARE(form_->windowTitle(), QStringLiteral("Form1"));
  QCOMPARE(form_->windowHandle()->title(), QStringLiteral("Form1"));
  QCOMPARE(form_->Edit1->text(), QString());
  QCOMPARE(form_->Memo1->toPlainText(), QStringLiteral("Memo1"));
  QCOMPARE(statusText(), QString());
  QCOMPARE(form_->SpeedButton1->text(), QStringLiteral("ライト版"));
  QCOMPARE(form_->SpeedButton2->text(), QStringLiteral("IEからURLを取得"));
  QCOMPARE(form_->SpeedButton3->text(), QStringLiteral("CSVでダウンロード"));
  WaitUntil([this] { return QApplication::focusWidget() == form_->Edit1; });
  QCOMPARE(QApplication::focusWidget(), form_->Edit1);

  QCOMPARE(form_->palette().color(QPalette::Window), QColor(Qt::white));
  QCOMPARE(form_->Panel1->frameShadow(), QFrame::Raised);
  QCOMPARE(form_->Panel1->lineWidth(), 1);
  QCOMPARE(form_->Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
  QVERIFY(form_->Memo1->horizontalScrollBar()->isVisible());
  QVERIFY(form_->Memo1->verticalScrollBar()->isVisible());
  QVERIFY(!form_->Memo1->isReadOnly());
  QVERIFY(form_->StatusBar->isSizeGripEnabled());

  // One Japanese gothic face at 13 pixels throughout.
  const QString family = QFontInfo(form_->font()).family();
  const QList<QWidget*> controls{form_->Edit1,
                                 form_->SpeedButton1,
                                 form_->SpeedButton2,
                                 form_->SpeedButton3,
                                 form_->Memo1,
                                 form_->StatusBar,
                                 form_->StatusBar->findChild<QLabel*>()};
  for (QWidget* control : controls) {
    QCOMPARE(QFontInfo(control->font()).family(), family);
    QCOMPARE(QFontInfo(control->font()).pixelSize(), 13);
  }
  QVERIFY(QFontMetrics(form_->font()).inFont(QChar(u'版')));

  // The outer frame of 538 x 336 stands centred on the desktop.
  QCOMPARE(QRect(form_->pos(), QSize(538, 336)).center(), form_->screen()->geometry().center());
  // The URL field holds an address of any length whole.
  const QString longAddress = QString::fromStdString(kFirstPage) + QString(40000, u'a');
  form_->Edit1->setText(longAddress);
  QCOMPARE(form_->Edit1->text(), longAddress);
}

void TestMainWindow::geometry_data() {
  QTest::addColumn<QString>("control");
  QTest::addColumn<QRect>("placed");
  QTest::newRow("client area") << "Form1" << QRect(0, 0, 530, 309);
  QTest::newRow("Panel1") << "Panel1" << QRect(0, 0, 530, 81);
  QTest::newRow("SpeedButton1") << "SpeedButton1" << QRect(8, 8, 177, 33);
  QTest::newRow("SpeedButton2") << "SpeedButton2" << QRect(200, 8, 153, 33);
  QTest::newRow("SpeedButton3") << "SpeedButton3" << QRect(368, 8, 153, 33);
  QTest::newRow("Edit1") << "Edit1" << QRect(8, 48, 513, 19);
  QTest::newRow("Memo1") << "Memo1" << QRect(0, 81, 530, 207);
  QTest::newRow("StatusBar") << "StatusBar" << QRect(0, 288, 530, 21);
}

void TestMainWindow::geometry() {
  QFETCH(QString, control);
  QFETCH(QRect, placed);
  QWidget* widget = control == "Form1" ? form_.get() : form_->findChild<QWidget*>(control);
  QVERIFY(widget);
  const QPoint at = widget == form_.get() ? QPoint() : widget->mapTo(form_.get(), QPoint());
  QCOMPARE(QRect(at, widget->size()), placed);
}

void TestMainWindow::resizing_data() {
  QTest::addColumn<QSize>("client");
  QTest::newRow("wider") << QSize(900, 309);
  QTest::newRow("taller") << QSize(530, 600);
  QTest::newRow("both") << QSize(1000, 700);
  QTest::newRow("narrower than the URL field") << QSize(400, 250);
}

void TestMainWindow::resizing() {
  QFETCH(QSize, client);
  form_->resize(client);
  const int w = client.width();
  const int h = client.height();
  const QRect memo(0, 81, w, h - 81 - 21);
  const auto memoPlace = [this] {
    return form_->Memo1->geometry().translated(form_->centralWidget()->pos());
  };
  WaitUntil([&] { return memoPlace() == memo; });
  QCOMPARE(memoPlace(), memo);
  QCOMPARE(form_->Panel1->geometry(), QRect(0, 0, w, 81));
  QCOMPARE(form_->StatusBar->geometry(), QRect(0, h - 21, w, 21));
  QCOMPARE(form_->Edit1->geometry(), QRect(8, 48, 513, 19));
  QCOMPARE(form_->SpeedButton3->geometry(), QRect(368, 8, 153, 33));
}

// Where the desktop asks for more than 96 dpi (at_dpi.sh): the window at
// the form's size times the scale on the X server, the controls where the
// form puts them times the scale, the logo from the art drawn for it.
void TestMainWindow::scaled() {
  const qreal scale = form_->devicePixelRatioF();
  if (scale == 1.0) QSKIP("the desktop asks for 96 dpi");
  const auto times = [scale](const QRect& r) {
    return QRect(qRound(r.x() * scale), qRound(r.y() * scale), qRound(r.width() * scale),
                 qRound(r.height() * scale));
  };
  QProcess xdotool;
  xdotool.start("xdotool", {"getwindowgeometry", "--shell", QString::number(form_->winId())});
  QVERIFY(xdotool.waitForFinished());
  const QString geometry = QString::fromLatin1(xdotool.readAllStandardOutput());
  qInfo("scale %g, window on the X server: %s", scale,
        qPrintable(geometry.simplified().section(' ', 3, 4)));
  QVERIFY2(geometry.contains(QStringLiteral("WIDTH=%1\n").arg(qRound(530 * scale))) &&
               geometry.contains(QStringLiteral("HEIGHT=%1\n").arg(qRound(309 * scale))),
           qPrintable(geometry));

  const QImage shot = form_->grab().toImage().convertToFormat(QImage::Format_RGB32);
  QCOMPARE(shot.size(), QSize(qRound(530 * scale), qRound(309 * scale)));
  const std::pair<QWidget*, QRect> controls[] = {{form_->SpeedButton1, QRect(8, 8, 177, 33)},
                                                 {form_->SpeedButton3, QRect(368, 8, 153, 33)}};
  for (const auto& [control, placed] : controls) {
    QCOMPARE(shot.copy(times(placed)),
             control->grab().toImage().convertToFormat(QImage::Format_RGB32));
  }

  // Somewhere in the button the art stands pixel for pixel.
  const QImage art = QImage(scale == 2.0 ? ":/logo@2x.bmp" : ":/logo@1.5x.bmp");
  const QImage button = shot.copy(times(QRect(8, 8, 177, 33)));
  const QRgb key = art.pixel(0, art.height() - 1);
  bool found = false;
  for (int top = 0; !found && top + art.height() <= button.height(); ++top) {
    for (int left = 0; !found && left + art.width() <= button.width(); ++left) {
      found = true;
      for (int y = 0; found && y < art.height(); ++y) {
        for (int x = 0; found && x < art.width(); ++x) {
          found = art.pixel(x, y) == key || art.pixel(x, y) == button.pixel(left + x, top + y);
        }
      }
    }
  }
  QVERIFY(found);
}

void TestMainWindow::keyboard() {
  // Tab only moves between the URL field and the result area; the buttons
  // never take the focus.
  for (QAbstractButton* button : {static_cast<QAbstractButton*>(form_->SpeedButton1),
                                  static_cast<QAbstractButton*>(form_->SpeedButton2),
                                  static_cast<QAbstractButton*>(form_->SpeedButton3)}) {
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
  }
  WaitUntil([this] { return QApplication::focusWidget() == form_->Edit1; });
  QCOMPARE(QApplication::focusWidget(), form_->Edit1);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), form_->Memo1);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), form_->Edit1);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
  QCOMPARE(QApplication::focusWidget(), form_->Memo1);
  QCOMPARE(form_->Memo1->toPlainText(), QStringLiteral("Memo1"));  // no tab typed in

  // Enter in the URL field does nothing: no run, no change.
  form_->Edit1->setFocus();
  QTest::keyClicks(form_->Edit1, "http://example.invalid/");
  QTest::keyClick(form_->Edit1, Qt::Key_Return);
  QTest::keyClick(form_->Edit1, Qt::Key_Enter);
  QCOMPARE(form_->Edit1->text(), QStringLiteral("http://example.invalid/"));
  QCOMPARE(QApplication::focusWidget(), form_->Edit1);
  QCOMPARE(statusText(), QString());
  QCOMPARE(form_->Memo1->toPlainText(), QStringLiteral("Memo1"));
  QVERIFY(boxes_.empty());
}

// Alt+I and Alt+D do what the buttons do, from either field, and type
// nothing into it; Alt+L is with the click below.
void TestMainWindow::accessKeys() {
  const QString url = QString::fromStdString(kFirstPage);
  shell_.windows = {quillo::shell::testing::FakeWindow::Browser(url.toStdU16String())};
  form_->Memo1->setFocus();
  QTest::keyClick(form_->Memo1, Qt::Key_I, Qt::AltModifier);
  WaitUntil([&] { return form_->Edit1->text() == url; });
  QCOMPARE(form_->Edit1->text(), url);
  QCOMPARE(form_->Memo1->toPlainText(), QStringLiteral("Memo1"));

  serve(ServePages({Page({}, {"a1"})}));
  form_->Edit1->setFocus();
  QTest::keyClick(form_->Edit1, Qt::Key_D, Qt::AltModifier);
  WaitUntil([&] { return form_->Memo1->toPlainText() == QStringLiteral("a1\n"); });
  QCOMPARE(form_->Memo1->toPlainText(), QStringLiteral("a1\n"));
  QCOMPARE(form_->Edit1->text(), url);
  QCOMPARE(QApplication::focusWidget(), form_->Edit1);
  QVERIFY(boxes_.empty());
}

void TestMainWindow::imageButtons_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("resource");
  QTest::addColumn<QSize>("imageSize");
  QTest::newRow("logo") << "SpeedButton1"
                        << ":/logo.bmp" << QSize(108, 30);
  QTest::newRow("browser") << "SpeedButton2"
                           << ":/browser.bmp" << QSize(30, 30);
  QTest::newRow("csv") << "SpeedButton3"
                       << ":/csv.bmp" << QSize(32, 30);
}

void TestMainWindow::imageButtons() {
  QFETCH(QString, name);
  QFETCH(QString, resource);
  QFETCH(QSize, imageSize);
  auto* button = form_->findChild<ImageButton*>(name);
  QVERIFY(button);
  const QImage image = button->image().toImage();
  QCOMPARE(image.size(), imageSize);
  QCOMPARE(qAlpha(image.pixel(0, image.height() - 1)), 0);  // the key colour
  QCOMPARE(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 255);

  // Drawn: the key colour does not show, image and caption stand centred,
  // and pressing moves them one pixel right and down.
  const QColor face = button->palette().color(QPalette::Button);
  const QImage up = button->grab().toImage();
  button->setDown(true);
  const QImage down = button->grab().toImage();
  button->setDown(false);
  const QRect inside = button->rect().adjusted(3, 3, -4, -4);
  QCOMPARE(up.copy(inside), down.copy(inside.translated(1, 1)));

  int first = -1;
  int last = -1;
  for (int x = inside.left(); x <= inside.right(); ++x) {
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
      if (QColor(up.pixel(x, y)) != face) {
        if (first < 0) first = x;
        last = x;
        break;
      }
    }
  }
  QVERIFY(first > 0);
  QVERIFY2(qAbs(first - (button->width() - 1 - last)) <= 2,
           qPrintable(QStringLiteral("drawn from x=%1 to x=%2").arg(first).arg(last)));
  const QImage original(resource);
  const QRgb keyColour = original.pixel(0, original.height() - 1);
  for (int y = 0; y < up.height(); ++y) {
    for (int x = 0; x < up.width(); ++x) QVERIFY(up.pixel(x, y) != keyColour);
  }
}

void TestMainWindow::errorBox_data() {
  QTest::addColumn<QByteArray>("message");
  QTest::addColumn<QString>("shown");
  // The full-stop rule itself is the core's; here: Japanese and markup
  // reach the box as plain text.
  QTest::newRow("double-byte character")
      << QByteArray("\x83G\x83\x89\x81[") << QStringLiteral("エラー.");
  QTest::newRow("markup stays text") << QByteArray("<b>x</b>") << QStringLiteral("<b>x</b>.");
}

void TestMainWindow::errorBox() {
  QFETCH(QByteArray, message);
  QFETCH(QString, shown);
  form_->controller().showError(std::string_view(message.constData(), message.size()));
  QCOMPARE(boxes_.size(), 1u);
  QCOMPARE(boxes_[0].text, shown);
  // The title keeps the first letter as it stands and lowers the rest.
  QCOMPARE(boxes_[0].title, QStringLiteral("tst_mainwindow"));
  QCOMPARE(boxes_[0].icon, QMessageBox::Critical);
  QCOMPARE(boxes_[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  QCOMPARE(boxes_[0].format, Qt::PlainText);
  QCOMPARE(form_->windowTitle(), QStringLiteral("Form1"));
}

void TestMainWindow::applicationTitle_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<QString>("title");
  QTest::newRow("plain") << "/usr/bin/quillo"
                         << "quillo";
  QTest::newRow("capitals") << "C:/Program Files/QUILLO.EXE"
                            << "Quillo";
  QTest::newRow("cut at the first full stop") << "/opt/QuIllo.tar.gz"
                                              << "Quillo";
  QTest::newRow("full stop in the directory") << "/opt/q.d/QUILLO"
                                              << "Quillo";
  QTest::newRow("second bytes are not letters")
      << QStringLiteral("/opt/QアB.EXE") << QStringLiteral("Qアb");
  QTest::newRow("nothing before the full stop") << "/opt/.quillo"
                                                << "";
}

void TestMainWindow::applicationTitle() {
  QFETCH(QString, path);
  QFETCH(QString, title);
  QCOMPARE(ApplicationTitleOf(path), title);
}

void TestMainWindow::download_data() {
  QTest::addColumn<QString>("url");
  QTest::addColumn<int>("pagesServed");
  QTest::addColumn<bool>("failOnPageTwo");
  QTest::addColumn<QString>("lines");
  QTest::addColumn<QStringList>("statuses");
  QTest::addColumn<QString>("error");

  const QString start = Shown(quillo::texts::kDownloadStart);
  const QString done = Shown(quillo::texts::kDownloadDone);
  QTest::newRow("three pages") << QString::fromStdString(kFirstPage) << 3 << false
                               << QStringLiteral("a1\nテスト\nb1\nc1\n")
                               << QStringList{start, Progress(1, 3), Progress(2, 3), Progress(3, 3),
                                              done}
                               << QString();
  QTest::newRow("error on page two")
      << QString::fromStdString(kFirstPage) << 1 << true << QStringLiteral("a1\nテスト\n")
      << QStringList{start, Progress(1, 3), Progress(2, 3)}
      << QStringLiteral("Connection reset by peer.");
}

void TestMainWindow::download() {
  QFETCH(QString, url);
  QFETCH(int, pagesServed);
  QFETCH(bool, failOnPageTwo);
  QFETCH(QString, lines);
  QFETCH(QStringList, statuses);
  QFETCH(QString, error);

  const std::vector<std::string> pages{
      Page({Anchor("/servlet/p2", "2"), Anchor("/servlet/p3", "3")}, {"a1",
                                                                      "\x83"
                                                                      "e\x83X\x83g"}),
      Page({}, {"b1"}), Page({}, {"c1"})};
  std::vector<Reply> replies = ServePages({pages.begin(), pages.begin() + pagesServed});
  if (failOnPageTwo) replies.push_back({"", 0, true});
  serve(std::move(replies));

  StatusPaints paints(form_->StatusBar->findChild<QLabel*>());
  form_->Edit1->setText(url);
  QTest::mouseClick(form_->SpeedButton3, Qt::LeftButton);

  QCOMPARE(form_->Memo1->toPlainText(), lines);
  QCOMPARE(statusText(), statuses.last());
  // Every status text was on the screen while the run went on.
  QCOMPARE(paints.texts, statuses);
  if (error.isEmpty()) {
    QVERIFY(boxes_.empty());
  } else {
    QCOMPARE(boxes_.size(), 1u);
    QCOMPARE(boxes_[0].text, error);
  }
  QVERIFY(!form_->controller().running());
  QCOMPARE(sockets_->openSockets(), 0);
}

void TestMainWindow::urlFieldGoesOutAsCp932() {
  serve(ServePages({Page({}, {})}));
  // "é" has no place in code page 932 and goes out as "?".
  form_->Edit1->setText(QString::fromStdString(kFirstPage) + QStringLiteral("?k=日本é"));
  QTest::mouseClick(form_->SpeedButton3, Qt::LeftButton);
  QVERIFY(boxes_.empty());
  const auto requests = server_->requests();
  QCOMPARE(requests.size(), 2u);
  QCOMPARE(requests[1].substr(0, requests[1].find("\r\n")),
           "GET /servlet/p1?k=\x93\xfa\x96\x7b? HTTP/1.0");
}

// A server that accepts and never answers: the window keeps painting, keeps
// input out, and a close from the window system ends the run and the window
// at once, the lines on screen untouched.
void TestMainWindow::closeDuringStalledRun() {
  serve({{"", 0, false, true}});
  form_->Edit1->setText(QString::fromStdString(kFirstPage));
  QTimer::singleShot(300, form_.get(), [this] {
    QTest::keyClick(form_->Edit1, Qt::Key_X);
    QTest::keyClick(form_->Edit1, Qt::Key_D, Qt::AltModifier);
    QTest::mouseClick(form_->SpeedButton3, Qt::LeftButton);
    form_->windowHandle()->close();
  });
  // The click comes from the program's own event loop, which must end when
  // the window closes (or give up after 5 s).
  QElapsedTimer took;
  took.start();
  QTimer::singleShot(0, form_.get(),
                     [this] { QTest::mouseClick(form_->SpeedButton3, Qt::LeftButton); });
  QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
  QCOMPARE(QCoreApplication::exec(), 0);
  qInfo("the program ended %lld ms after the click", took.elapsed());

  QVERIFY(took.elapsed() < 1500);
  QVERIFY(!form_->isVisible());
  QVERIFY(boxes_.empty());
  QCOMPARE(form_->Memo1->toPlainText(), QStringLiteral("Memo1"));
  QCOMPARE(form_->Edit1->text(), QString::fromStdString(kFirstPage));
  QCOMPARE(statusText(), Shown(quillo::texts::kDownloadStart));
  QCOMPARE(server_->requests().size(), 1u);
  QCOMPARE(sockets_->openSockets(), 0);
}

void TestMainWindow::tenThousandLines() {
  constexpr int kLines = 10000;
  std::vector<std::string> entries;
  for (int i = 1; i <= kLines; ++i) {
    entries.push_back("entry " + std::to_string(i) +
                      ",\x83"
                      "e\x83X\x83g,2024/01/01");
  }
  const std::string page = Page({}, entries);
  serve(ServePages({page}));
  form_->Edit1->setText(QString::fromStdString(kFirstPage));

  QElapsedTimer run;
  run.start();
  QTest::mouseClick(form_->SpeedButton3, Qt::LeftButton);
  qInfo("%d lines: run %lld ms", kLines, run.elapsed());

  QVERIFY(boxes_.empty());
  QCOMPARE(form_->Memo1->blockCount(), kLines + 1);  // the last line ends with a break
  QCOMPARE(form_->Memo1->document()->findBlockByNumber(kLines - 1).text(),
           QStringLiteral("entry 10000,テスト,2024/01/01"));
}

QTEST_MAIN(TestMainWindow)
void TestMainWindow::liteButtonOpensTheLitePage() {
  // A stand-in for the desktop's opener, first on PATH, records its arguments.
  QTemporaryDir dir;
  const QString log = dir.filePath("args");
  QFile opener(dir.filePath("xdg-open"));
  QVERIFY(opener.open(QIODevice::WriteOnly));
  opener.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1.tmp' && mv '%1.tmp' '%1'\n")
                   .arg(log)
                   .toUtf8());
  opener.close();
  opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  const QByteArray savedPath = qgetenv("PATH");
  qputenv("PATH", dir.path().toUtf8() + ":" + savedPath);

  // A click, then Alt+L in the URL field.
  const std::function<void()> presses[] = {
      [this] { QTest::mouseClick(form_->SpeedButton1, Qt::LeftButton); },
      [this] { QTest::keyClick(form_->Edit1, Qt::Key_L, Qt::AltModifier); }};
  for (const auto& press : presses) {
    QFile::remove(log);
    press();
    WaitUntil([&] { return QFile::exists(log); });
    QFile args(log);
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(args.readAll()),
             QString::fromStdU16String(quillo::cp932::ToUtf16(quillo::kSiteRoot)) + "/lite/\n");
  }
  qputenv("PATH", savedPath);
  QCOMPARE(form_->Edit1->text(), QString());
  QVERIFY(boxes_.empty());
}

#include "tst_mainwindow.moc"
