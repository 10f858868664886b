// A small Qt program the end-to-end tests drive through its standard input: test windows
// (plain, pattern, message box, text input, tool tip) and the desktop services, each answering on
// standard output.
//   quilmar_e2e_probe gui          commands on stdin, one per line (see Execute)
//   quilmar_e2e_probe lock NAME    takes the instance lock or hands a message to its holder
#include <unistd.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSocketNotifier>
#include <QToolTip>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <memory>

#include "platform/desktop.h"
#include "platform/instance.h"
#include "platform/qt/qtraster.h"
#include "platform/raster/bitmap.h"
#include "tests/e2e/harness.h"

namespace {

void Say(const QString& line) {
  std::printf("%s\n", line.toUtf8().constData());
  std::fflush(stdout);
}

// Reports its native id once shown; a click turns it green and is reported.
class TProbeWindow : public QWidget {
 public:
  TProbeWindow(const QString& title, QColor colour) : FColour(colour) {
    setWindowTitle(title);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  void ShowAndReport() {
    show();
    Say(QStringLiteral("shown %1").arg(winId()));
  }
  bool Inverted = false;
  bool Pattern = false;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    if (!Pattern) {
      painter.fillRect(rect(), FColour);
      return;
    }
    QImage image(size(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x) row[x] = e2e::PatternPixel(x, y, Inverted);
    }
    painter.drawImage(0, 0, image);
  }
  void mousePressEvent(QMouseEvent* event) override {
    FColour = Qt::green;
    update();
    Say(QStringLiteral("click %1 %2").arg(event->position().x()).arg(event->position().y()));
  }

 private:
  QColor FColour;
};

// Reports what an input method does to it: each pre-edit and commit it is sent, each key press
// that reaches it (keys the input method keeps never do) and each change of its text.
class TProbeLineEdit : public QLineEdit {
 public:
  TProbeLineEdit() {
    setWindowTitle("QuilmarInput");
    connect(this, &QLineEdit::textChanged, [](const QString& text) { Say("text " + text); });
  }
  // Where the input method would put its candidate window, in screen coordinates.
  QRect CursorRectangle() const {
    const QRect local = inputMethodQuery(Qt::ImCursorRectangle).toRect();
    return {mapToGlobal(local.topLeft()), local.size()};
  }

 protected:
  void focusInEvent(QFocusEvent* event) override {
    QLineEdit::focusInEvent(event);
    Say("focus in");
  }
  void keyPressEvent(QKeyEvent* event) override {
    Say("key " + QKeySequence(event->key()).toString());
    QLineEdit::keyPressEvent(event);
  }
  void inputMethodEvent(QInputMethodEvent* event) override {
    if (!event->commitString().isEmpty()) Say("commit " + event->commitString());
    if (event->commitString().isEmpty() || !event->preeditString().isEmpty()) Say("preedit " + event->preeditString());
    QLineEdit::inputMethodEvent(event);
  }
};

class TProbe {
 public:
  void Execute(const QStringList& words);

 private:
  TDesktopServices& Services() {
    if (!FServices) FServices = CreateDesktopServices();
    return *FServices;
  }
  QSize ScreenPixels() const {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen->size() * screen->devicePixelRatio();
  }

  std::unique_ptr<TDesktopServices> FServices;
  std::unique_ptr<TBitmap> FShared;  // on the capture's own memory where there is such
  std::unique_ptr<TProbeWindow> FSmoke, FPattern, FPlain;
  std::unique_ptr<QMessageBox> FMessage;
  std::unique_ptr<TProbeLineEdit> FInput;
  std::unique_ptr<QWindow> FFrameWindow;
};

void TProbe::Execute(const QStringList& words) {
  const QString command = words.value(0);
  auto number = [&](int i) { return words.value(i).toInt(); };
  if (command == "smoke") {
    FSmoke = std::make_unique<TProbeWindow>("QuilmarSmoke", Qt::red);
    FSmoke->setGeometry(100, 100, 300, 200);
    FSmoke->ShowAndReport();
  } else if (command == "pattern") {
    FPattern = std::make_unique<TProbeWindow>("QuilmarPattern", Qt::black);
    FPattern->Pattern = true;
    FPattern->setWindowFlags(Qt::FramelessWindowHint);
    FPattern->setGeometry(number(1), number(2), number(3), number(4));
    FPattern->ShowAndReport();
  } else if (command == "invert" && FPattern) {
    FPattern->Inverted = !FPattern->Inverted;
    FPattern->update();
    Say("inverted");
  } else if (command == "hotkey") {
    const bool registered =
        Services().RegisterHotKey(7, MOD_CONTROL_KEY, VK_F1_KEY, [](int id, unsigned modifiers, unsigned virtualKey) {
          Say(QStringLiteral("hotkey %1 %2 %3").arg(id).arg(modifiers).arg(virtualKey));
        });
    Say(QStringLiteral("registered %1").arg(registered));
  } else if (command == "unhotkey") {
    Services().UnregisterHotKeys();
    Say("unregistered");
  } else if (command == "prepare") {
    Services().PrepareCapture(ScreenPixels().width(), ScreenPixels().height());
    Say("prepared");
  } else if (command == "capture") {
    TBitmap bitmap(ScreenPixels().width(), ScreenPixels().height());
    const bool captured = Services().CaptureScreen(bitmap, bitmap.Width(), bitmap.Height());
    const bool saved = captured && QtView(bitmap).save(words.value(1), "PNG");
    Say(QStringLiteral("captured %1").arg(saved));
  } else if (command == "sharedcapture") {
    // Let go first: the capture's memory has one holder at a time.
    FShared.reset();
    FShared = std::make_unique<TBitmap>();
    const int w = ScreenPixels().width(), h = ScreenPixels().height();
    const bool shared = FShared->Adopt(Services().CaptureMemory(w, h), w, h);
    if (!shared) FShared->SetSize(w, h);
    const bool captured = Services().CaptureScreen(*FShared, w, h);
    const bool saved = captured && QtView(*FShared).save(words.value(1), "PNG");
    Say(QStringLiteral("captured %1 shared %2").arg(saved).arg(shared));
  } else if (command == "saveshared" && FShared) {
    Say(QStringLiteral("saved %1").arg(QtView(*FShared).save(words.value(1), "PNG")));
  } else if (command == "firstframe" && FShared) {
    // A full-screen window that never paints, given the shared capture with a block of
    // FrameOverlay at (x, y, w, h) as its first frame: all it shows comes from that frame.
    FFrameWindow = std::make_unique<QWindow>();
    FFrameWindow->setFlags(Qt::Window | Qt::FramelessWindowHint);
    FFrameWindow->setGeometry(QRect(QPoint(0, 0), ScreenPixels()));
    FFrameWindow->create();
    TBitmap overlay(number(3), number(4));
    overlay.Fill(e2e::FrameOverlay);
    const bool preset = Services().PresetFirstFrame(FFrameWindow->winId(), *FShared, overlay, number(1), number(2));
    FFrameWindow->show();
    Say(QStringLiteral("preset %1").arg(preset));
  } else if (command == "forgetframe" && FFrameWindow) {
    Services().ForgetFirstFrame(FFrameWindow->winId());
    Say("forgot");
  } else if (command == "taskbar") {
    Services().HideFromTaskbar();
    Say("hiding");
  } else if (command == "show") {
    if (!FPlain) {
      FPlain = std::make_unique<TProbeWindow>("QuilmarProbe", Qt::blue);
      FPlain->setGeometry(500, 300, 200, 100);
    }
    FPlain->ShowAndReport();
  } else if (command == "hide" && FPlain) {
    FPlain->hide();
    Say("hidden");
  } else if (command == "msgbox") {
    FMessage = std::make_unique<QMessageBox>(QMessageBox::Information, "QuilmarMessage", "probe");
    FMessage->open();
    Say(QStringLiteral("shown %1").arg(FMessage->winId()));
  } else if (command == "input") {
    FInput = std::make_unique<TProbeLineEdit>();
    FInput->setGeometry(100, 100, 400, 40);
    FInput->show();
    FInput->activateWindow();
    Say(QStringLiteral("shown %1").arg(FInput->winId()));
  } else if (command == "imrect" && FInput) {
    const QRect r = FInput->CursorRectangle();
    Say(QStringLiteral("imrect %1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()));
  } else if (command == "tooltip") {
    // A tool tip at (x, y) with the rest of the line as its text.
    QToolTip::showText(QPoint(number(1), number(2)), words.mid(3).join(' '));
    Say("tooltip shown");
  } else if (command == "ping") {
    Say("pong");
  } else if (command == "quit") {
    QCoreApplication::quit();
  } else {
    Say("unknown " + command);
  }
}

int RunGui(int argc, char** argv) {
  QApplication app(argc, argv);
  TProbe probe;
  QByteArray pending;
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buffer[4096];
    const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
      QCoreApplication::quit();  // the test is gone
      return;
    }
    pending.append(buffer, n);
    for (auto newline = pending.indexOf('\n'); newline >= 0; newline = pending.indexOf('\n')) {
      const QString line = QString::fromUtf8(pending.left(newline)).trimmed();
      pending.remove(0, newline + 1);
      probe.Execute(line.split(' ', Qt::SkipEmptyParts));
    }
  });
  Say("ready");
  return app.exec();
}

// The winner keeps the lock and prints each activation message; a loser hands its message
// over before any application object exists, as the program does.
int RunLock(int argc, char** argv, const QString& name) {
  auto lock = TInstanceLock::Acquire(Str(name));
  if (!lock) {
    const bool sent = SendActivation(Str(name), Str(QStringLiteral("hello from %1").arg(getpid())));
    Say(QStringLiteral("lost sent=%1").arg(sent));
    return 0;
  }
  QCoreApplication app(argc, argv);
  TActivationListener listener(Str(name), [](const String& message) { Say("message " + QStr(message)); });
  Say("won");
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [] {
    char buffer[256];
    const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0 || QByteArray(buffer, int(n)).startsWith("quit")) QCoreApplication::quit();
  });
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  if (mode == "gui") return RunGui(argc, argv);
  if (mode == "lock" && argc > 2) return RunLock(argc, argv, QString::fromLocal8Bit(argv[2]));
  std::fprintf(stderr, "usage: %s gui | lock NAME\n", argv[0]);
  return 2;
}
