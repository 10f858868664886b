#include "tests/component/harness.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>

#include "platform/application.h"
#include "platform/image.h"
#include "platform/qt/qtraster.h"
#include "shell/foption.h"
#include "shell/form1.h"
#include "shell/forms.h"
#include "surface/fcover.h"

bool TTestDesktop::RegisterHotKey(int id, unsigned modifiers, unsigned virtualKey, THotKeyHandler handler) {
  HotKeyId = id;
  HotKeyModifiers = modifiers;
  HotKeyKey = virtualKey;
  Handler = std::move(handler);
  return true;
}

bool TTestDesktop::CaptureScreen(TBitmap& target, int left, int top, int width, int height) {
  ++Captures;
  CaptureOrigin = QPoint(left, top);
  const int w = std::min(width, target.Width());
  const int h = std::min(height, target.Height());
  if (w <= 0 || h <= 0) return true;
  // The pattern is worked out once per seed and size: long runs capture thousands of times.
  if (FPatternSeed != Seed || FPatternWidth != w || FPatternHeight != h || FPatternOrigin != CaptureOrigin) {
    FPattern.resize(std::size_t(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) FPattern[std::size_t(y) * w + x] = ScreenPattern(Seed, left + x, top + y);
    FPatternOrigin = CaptureOrigin;
    FPatternSeed = Seed;
    FPatternWidth = w;
    FPatternHeight = h;
  }
  for (int y = 0; y < h; ++y) std::copy_n(FPattern.data() + std::size_t(y) * w, w, target.ScanLine(y));
  return true;
}

bool TTestDesktop::PresetFirstFrame(std::uintptr_t window, const TBitmap& picture, const TBitmap& overlay, int x,
                                    int y) {
  FirstFrame = QtView(picture).copy();
  QPainter painter(&FirstFrame);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  if (!overlay.Empty()) painter.drawImage(x, y, QtView(overlay));
  FirstFrameWindow = window;
  return true;
}

void TTestDesktop::ForgetFirstFrame(std::uintptr_t window) {
  if (window == FirstFrameWindow) FirstFrameWindow = 0;
}

TPixelBlock TTestDesktop::CaptureMemory(int width, int height) {
  // One holder at a time, as on X11.
  if (Memory && Memory.use_count() > 1) return {};
  Memory = std::make_shared<std::vector<std::uint32_t>>(std::size_t(std::max(width, 0)) * std::max(height, 0));
  return TPixelBlock::Borrow(Memory->data(), Memory->size(), Memory);
}

std::uint32_t ScreenPattern(std::uint32_t seed, int x, int y) {
  std::uint32_t v = static_cast<std::uint32_t>(x) * 2654435761u ^ static_cast<std::uint32_t>(y) * 40503u ^ seed * 97u;
  v ^= v >> 13;
  return v & 0x00FFFFFFu;
}

TTestDesktop& Desktop() { return static_cast<TTestDesktop&>(Application->Desktop()); }

void CreateTestForms(TApplication& app) {
  app.SetDesktop(std::make_unique<TTestDesktop>());
  CreateForms(app);
  QtOf(Form1)->show();
  app.ProcessMessages();
}

void ResetToIdle() {
  // Stopping is harmless while idle and also mends the state an Esc leaves behind.
  Form1->StopDrawing();
  Application->ProcessMessages();
}

void StartWorking() {
  TMessage hotKey{WM_HOTKEY, 1, MakeLong(MOD_CONTROL_KEY, VK_F1_KEY), 0};
  if (!Form1->Working()) Form1->Dispatch(hotKey);
  Application->ProcessMessages();
}

std::uint32_t Rgb(std::uint32_t pixel) { return pixel & 0x00FFFFFFu; }
std::uint32_t SurfacePixel(int x, int y) { return Rgb(FCover->PaintBox1->Pixels().Pixel(x, y)); }
std::uint32_t BackgroundPixel(int x, int y) { return Rgb(FCover->Image1->Bitmap()->Pixel(x, y)); }

int DiffCount(int left, int top, int right, int bottom) {
  int count = 0;
  for (int y = std::max(0, top); y < std::min(bottom, FCover->Height()); ++y)
    for (int x = std::max(0, left); x < std::min(right, FCover->Width()); ++x)
      if (SurfacePixel(x, y) != BackgroundPixel(x, y)) ++count;
  return count;
}

std::vector<std::uint32_t> SurfaceCopy() {
  std::vector<std::uint32_t> pixels;
  const TBitmap& b = FCover->PaintBox1->Pixels();
  pixels.reserve(static_cast<std::size_t>(b.Width()) * b.Height());
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) pixels.push_back(Rgb(b.Pixel(x, y)));
  return pixels;
}

QPointer<QTimer> AnswerNextModal(std::function<void(QWidget*)> answer) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
    QWidget* open = QApplication::activePopupWidget();
    if (!open) open = QApplication::activeModalWidget();
    // The help runs its own loop without the toolkit's modality, so that the tray icon works.
    if (!open && FOption && QtOf(FOption)->isVisible()) open = QtOf(FOption);
    if (!open || !open->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    answer(open);
  });
  timer->start();
  return timer;
}

std::vector<QString> EnglishTexts(QWidget* window) {
  std::vector<QString> english;
  // Two Latin letters in a row make a word; a mnemonic such as "(&S)" or "&S" is no word.
  static const QRegularExpression mnemonic(QStringLiteral("\\(&.\\)|&"));
  static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
  const auto check = [&](QString text) {
    text.remove(mnemonic);
    if (word.match(text).hasMatch()) english.push_back(text);
  };
  check(window->windowTitle());
  for (const QLabel* label : window->findChildren<QLabel*>())
    if (label->isVisible()) check(label->text());
  for (const QGroupBox* group : window->findChildren<QGroupBox*>())
    if (group->isVisible()) check(group->title());
  for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
    if (!button->isVisible()) continue;
    check(button->text());
    check(button->toolTip());
  }
  for (const QHeaderView* header : window->findChildren<QHeaderView*>()) {
    if (!header->isVisible() || !header->model()) continue;
    for (int i = 0; i < header->count(); ++i)
      if (!header->isSectionHidden(i)) check(header->model()->headerData(i, header->orientation()).toString());
  }
  return english;
}
