#include "shell/foption.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <initializer_list>

#include "platform/application.h"
#include "platform/qt/qtforms.h"
#include "platform/qt/qtraster.h"
#include "platform/qt/qtscreens.h"
#include "platform/raster/canvas.h"
#include "platform/sysutils.h"
#include "platform/textresources.h"
#include "surface/fcover.h"

TFOption* FOption = nullptr;

namespace {

// The first of `faces` the desktop has, else the face with Chinese glyphs the platform falls back
// to. The Windows name comes first, then the one a Debian package brings.
TFont DisplayFont(std::initializer_list<const char*> faces) {
  TFontEngine& engine = Raster::FontEngine();
  String chosen;
  for (const char* face : faces) {
    if (engine.ResolveFace(face) == face) {
      chosen = face;
      break;
    }
  }
  if (chosen.empty()) chosen = engine.ResolveFace(*faces.begin());
  TFont font;
  font.Name = chosen;
  return font;
}

QString UsageText() {
  std::string_view text = TextResource("help.txt");
  // The file's last newline ends its last line; it does not start an empty one.
  if (text.ends_with('\n')) text.remove_suffix(1);
  return QStr(text);
}

}  // namespace

TFOption::TFOption()
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                           Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
  ::FOption = this;
  TQtFormBuilder form(this, "FOption");
  form.Component("Panel1", Panel1)
      .Component("Label1", Label1)
      .Component("Label2", Label2)
      .Component("RichEdit1", RichEdit1)
      .Component("Panel2", Panel2)
      .Component("Button1", Button1)
      .Handler("Button1Click", [this] { Button1Click(); });
  FormControl = form.Build();

  QPalette face = palette();
  face.setColor(QPalette::Window, face.color(QPalette::Button));
  setPalette(face);
  setAutoFillBackground(true);

  // Kai (brush) faces: KaiTi on Windows, AR PL UKai from fonts-arphic-ukai on Debian.
  const TFont title = DisplayFont({"KaiTi", "AR PL UKai CN"});
  Label1->SetFont(title, TitlePixels);
  Label2->SetFont(title, TitlePixels);
  // Song/Ming faces for the text.
  RichEdit1->SetFont(DisplayFont({"SimSun", "AR PL UMing CN", "Noto Serif CJK SC"}), TextPixels);
  RichEdit1->SetText(Str(UsageText()));
  FormCreate();
}

TFOption::~TFOption() {
  if (::FOption == this) ::FOption = nullptr;
}

// Nothing to prepare: the window is complete once its description is loaded.
void TFOption::FormCreate() {}

namespace {

// While the help is shown the program's other forms take no input, as the windows that a modal
// window disables. Unlike the toolkit's own modality this leaves the tray icon working: it still
// opens the main menu, and asks for the help again (which is refused).
class TOtherFormsBlocked : public QObject {
 public:
  explicit TOtherFormsBlocked(QWidget* modal) : FModal(modal) {
    QCoreApplication::instance()->installEventFilter(this);
  }
  ~TOtherFormsBlocked() override { QCoreApplication::instance()->removeEventFilter(this); }
  TOtherFormsBlocked(const TOtherFormsBlocked&) = delete;
  TOtherFormsBlocked& operator=(const TOtherFormsBlocked&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::Wheel:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ContextMenu: break;
      default: return false;
    }
    if (!watched->isWidgetType()) return false;
    const QWidget* window = static_cast<QWidget*>(watched)->window();
    return window != FModal && Application && Application->IsForm(window);
  }

 private:
  QWidget* FModal;
};

}  // namespace

int TFOption::ShowModal() {
  if (isVisible()) throw Exception(Str(QStringLiteral("Cannot make a visible window modal")));
  const TOtherFormsBlocked blocked(this);
  // The window that had the keyboard gets it back: a window manager may give it to nobody when
  // the help closes, and a caption being typed on the surface must go on.
  const QPointer<QWidget> before = QApplication::activeWindow();
  QEventLoop loop;
  const QMetaObject::Connection done = connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
  setResult(0);
  show();
  raise();
  activateWindow();
  loop.exec(QEventLoop::DialogExec);
  disconnect(done);
  if (before && before != this && before->isVisible()) before->activateWindow();
  return result();
}

void TFOption::Button1Click() { close(); }

void TFOption::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FitFrame();
  CentreOnScreen();
  // On X11 the window manager adds its frame only once the window is mapped; Qt knows it by the
  // time the window is first exposed.
  if (!FFrameFitted && windowHandle()) windowHandle()->installEventFilter(this);
}

bool TFOption::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() && event->type() == QEvent::Expose)
    QMetaObject::invokeMethod(this, &TFOption::FitFrame, Qt::QueuedConnection);
  return QDialog::eventFilter(watched, event);
}

void TFOption::FitFrame() {
  if (FFrameFitted || !windowHandle()) return;
  const QMargins frame = windowHandle()->frameMargins();
  if (frame.isNull()) return;
  FFrameFitted = true;
  windowHandle()->removeEventFilter(this);
  resize(OuterSize.shrunkBy(frame));
  if (isVisible()) CentreOnScreen();
}

void TFOption::CentreOnScreen() {
  // Over a frozen screen, that one; otherwise where the teacher points.
  QScreen* screen = FCover && FCover->isVisible() ? FCover->ScreenInUse() : ScreenUnderPointer();
  if (!screen) return;
  const QRect area = screen->geometry();
  QRect outer(QPoint(), frameGeometry().size());
  outer.moveCenter(area.center());
  // A screen smaller than the window keeps the title bar on it.
  move(std::max(outer.left(), area.left()), std::max(outer.top(), area.top()));
}
