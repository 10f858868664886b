// Captions typed on the frozen screen with the real keyboard and a real input method (ibus with
// the Chinese pinyin engine), at 1024x768; the font dialog, in Chinese, confirmed from the
// keyboard.
#include "tests/e2e/app_fixture.h"

namespace e2e {
namespace {

// How long typed text may take to show on a machine busy with other sessions.
constexpr int LoadedMs = 15000;

class TCaptionTest : public TAppTest {
 protected:
  void SetUp() override {
    TAppTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    QString error;
    Im = TInputMethod::Start(Session(), &error, TInputMethod::Latin);
    ASSERT_TRUE(Im) << error.toStdString();
    Probe_ = Spawn(Probe, {"gui"});
    const QRect pattern = ShowPattern(*Probe_);
    const QProcessEnvironment env = Im->ClientEnvironment();
    App_ = SpawnApp(&env);
    ASSERT_TRUE(WaitUntil([&] { return X().FindWindow(App_->Pid(), "KEZ").has_value(); }, 10000))
        << "no marker window; stderr: " << App_->StdErr().toStdString();
    ASSERT_TRUE(HotKey());
    // The input method's daemons start beside the program: on a busy machine the first freeze
    // can take longer than usual.
    ASSERT_TRUE(WaitUntil([&] { return SurfaceCoversScreen(*App_); }, LoadedMs));
    // The frozen picture, once the surface shows it: the pattern window is part of it.
    ASSERT_TRUE(WaitUntil([&] {
      Frozen = X().GrabScreen();
      return Frozen.pixel(pattern.x() + 50, pattern.y() + 30) == PatternPixel(50, 30);
    }));
  }

  // The bounding box of the pixels changed since the freeze inside `area`; empty if none.
  QRect Changed(const QRect& area) {
    const QImage now = X().Grab(area);
    QRect box;
    for (int y = 0; y < now.height(); ++y)
      for (int x = 0; x < now.width(); ++x)
        if (now.pixel(x, y) != Frozen.pixel(area.x() + x, area.y() + y)) box |= QRect(area.x() + x, area.y() + y, 1, 1);
    return box;
  }
  // Waits until what changed in `area` stops changing for a moment and differs from `before`.
  QRect ChangedOnceSettled(const QRect& area, const QRect& before) {
    QRect box;
    WaitUntil(
        [&] {
          const QRect now = Changed(area);
          if (now == before || now != box) {
            box = now;
            return false;
          }
          return true;
        },
        LoadedMs, 200);
    return box;
  }
  bool Type(const QString& text) {
    KeepKeyboard();
    return Xdo().Run({"type", "--delay", "20", text});
  }

  QImage Frozen;
  std::unique_ptr<TInputMethod> Im;
  std::unique_ptr<TChild> Probe_;
  std::unique_ptr<TChild> App_;
};

// Line 1 at y 200 (text from 190), line 2 at 226 (text from 216): 20 points. Below line 1,
// everything down to where a third line would end.
const QRect Line1(290, 180, 300, 36);
const QRect Below(290, 216, 300, 80);

TEST_F(TCaptionTest, LatinAndChineseCaptionsWithBackspaceEnterAndAnInputMethod) {
  ASSERT_TRUE(Xdo().Click(300, 200));
  ASSERT_TRUE(Type("AB"));
  const QRect ab = ChangedOnceSettled(Line1, QRect());
  ASSERT_FALSE(ab.isEmpty()) << "the typed caption did not show";
  // Drawn from the text's top-left at (300, 190), within the two-letter box.
  EXPECT_GE(ab.left(), 300);
  EXPECT_LE(ab.left(), 304);
  EXPECT_GE(ab.top(), 190);
  EXPECT_LE(ab.top(), 198);
  EXPECT_LE(ab.right(), 340);
  EXPECT_LE(ab.bottom(), 225);

  // Backspace takes the B: the line ends earlier, the A stays.
  ASSERT_TRUE(Xdo().Key("BackSpace"));
  const QRect a = ChangedOnceSettled(Line1, ab);
  EXPECT_EQ(a.left(), ab.left());
  EXPECT_LT(a.right(), ab.right() - 5);
  EXPECT_GT(a.width(), 5);

  // Enter: the next line starts 26 pixels lower, at the same x. Chinese through pinyin:
  // nothing shows while composing, not even after the engine's own Backspace; Space commits.
  ASSERT_TRUE(Xdo().Key("Return"));
  QString error;
  ASSERT_TRUE(Im->SetEngine(TInputMethod::Pinyin, &error)) << error.toStdString();
  ASSERT_TRUE(Type("nihaoo"));
  ASSERT_TRUE(Xdo().Key("BackSpace"));
  EXPECT_FALSE(WaitUntil([&] { return !Changed(Below).isEmpty() || Changed(Line1) != a; }, 1500))
      << "composing text or the engine's Backspace reached the caption";
  ASSERT_TRUE(Xdo().Key("space"));
  const QRect chinese = ChangedOnceSettled(Below, QRect());
  ASSERT_FALSE(chinese.isEmpty()) << "the committed text did not show; " << Im->Log().toStdString();
  EXPECT_GE(chinese.left(), 300);
  EXPECT_LE(chinese.left(), 304);
  EXPECT_GE(chinese.top(), 216);
  EXPECT_LE(chinese.top(), 222);
  // Two full-width characters at 20 points: each about 27 pixels wide and nearly as tall.
  EXPECT_GE(chinese.width(), 40);
  EXPECT_LE(chinese.width(), 70);
  EXPECT_GE(chinese.height(), 18);
  EXPECT_EQ(Changed(Line1), a) << "the first line stays as it was";

  // An Enter that the engine takes to commit what it composed starts no new line.
  ASSERT_TRUE(Type("ma"));
  ASSERT_TRUE(Xdo().Key("Return"));
  const QRect longer = ChangedOnceSettled(Below, chinese);
  EXPECT_GT(longer.right(), chinese.right());
  // Latin letters end on the baseline, above the Chinese characters' bottom: nothing went lower.
  EXPECT_EQ(longer.bottom(), chinese.bottom());
  ASSERT_TRUE(Im->SetEngine(TInputMethod::Latin, &error)) << error.toStdString();
  ASSERT_TRUE(Type("z"));
  const QRect z = ChangedOnceSettled(Below, longer);
  EXPECT_GT(z.right(), longer.right()) << "typing goes on in the same line";
  EXPECT_EQ(z.bottom(), chinese.bottom());

  // The font dialog opens over the surface and Esc closes it: the drawings are still there and
  // the keyboard is back with the caption.
  ASSERT_TRUE(Xdo().Click(ToolBar.x() + 322 + 11, ToolBar.y() + 13));
  ASSERT_TRUE(WindowWithKeyboard(*App_, FontTitle, LoadedMs))
      << "no font dialog";
  ASSERT_TRUE(Xdo().Key("Escape"));
  ASSERT_TRUE(WaitUntil([&] { return !X().FindWindow(App_->Pid(), FontTitle).has_value(); }, LoadedMs));
  ASSERT_TRUE(WaitUntil([&] { return Changed(Below) == z && Changed(Line1) == a; }, LoadedMs));
  ASSERT_TRUE(Type("k"));
  EXPECT_GT(ChangedOnceSettled(Below, z).right(), z.right()) << "typing after the dialog goes on in the line";
}

TEST_F(TCaptionTest, TheFontDialogTakesATypedSizeOnEnterOnTheKeypadOrAfterTab) {
  // The height of a capital H typed on a fresh line at y, in the caption font of the moment.
  const auto typedHeight = [&](int y) {
    const QRect line(290, y - 60, 300, 120);
    EXPECT_TRUE(Xdo().Click(300, y));
    EXPECT_TRUE(Type("H"));
    return ChangedOnceSettled(line, QRect()).height();
  };
  const int defaultSize = typedHeight(100);
  ASSERT_GT(defaultSize, 8) << "the caption did not show";
  const struct {
    const char* Size;
    QStringList Keys;
    int Line;
  } rounds[] = {
      {"36", {"Return"}, 220},
      {"12", {"Tab", "Return"}, 360},
      {"48", {"KP_Enter"}, 520},
  };
  std::vector<int> heights;
  for (const auto& round : rounds) {
    SCOPED_TRACE(round.Size);
    ASSERT_TRUE(Xdo().Click(ToolBar.x() + 322 + 11, ToolBar.y() + 13));
    ASSERT_TRUE(WindowWithKeyboard(*App_, FontTitle, LoadedMs))
        << "no font dialog";
    // Alt+S is the size field's key ("大小(&S)"); what it holds is replaced by the typed size.
    ASSERT_TRUE(Xdo().Key("alt+s"));
    ASSERT_TRUE(Xdo().Key("ctrl+a"));
    ASSERT_TRUE(Type(round.Size));
    for (const QString& key : round.Keys) ASSERT_TRUE(Xdo().Key(key));
    ASSERT_TRUE(WaitUntil([&] { return !X().FindWindow(App_->Pid(), FontTitle).has_value(); }, LoadedMs))
        << "the keys did not close the dialog";
    heights.push_back(typedHeight(round.Line));
  }
  // 36, 12 and 48 points: each H as tall as its size says against the first's, within a few
  // pixels; the first is larger than at 20. (The dialog may settle on another face than the
  // caption's first: Wine's lists no face a font replacement names.)
  EXPECT_GT(heights[0], defaultSize + 5);
  EXPECT_LT(heights[1], heights[0] * 12 / 36 + 3);
  EXPECT_GT(heights[2], heights[0] * 48 / 36 - 4);
  EXPECT_LT(heights[2], heights[0] * 48 / 36 + 4);
}

}  // namespace
}  // namespace e2e
