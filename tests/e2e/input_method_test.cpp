#include <QElapsedTimer>

#include "tests/e2e/harness.h"

namespace e2e {
namespace {

const QString Probe = QStringLiteral(QUILMAR_E2E_PROBE);

using TLines = std::vector<QString>;

int Count(const TLines& lines, const QString& prefix) {
  return int(std::count_if(lines.begin(), lines.end(), [&](const QString& line) { return line.startsWith(prefix); }));
}

bool Has(const TLines& lines, const QString& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string Joined(const TLines& lines) {
  QString joined;
  for (const QString& line : lines) joined += "\n  " + line;
  return joined.toStdString();
}

class TInputMethodTest : public TXSessionTest {};

// Chinese typing through a real ibus with the libpinyin engine into the probe's line edit, the
// way a teacher types a caption: letters compose, Space commits the first candidate, and the
// keys the engine uses while composing never reach the widget as keys. With the Latin engine
// keys arrive as keys. Nothing of the input method outlives it.
TEST_F(TInputMethodTest, ComposesPinyinAndKeepsItsKeys) {
  QElapsedTimer timer;
  timer.start();
  QString error;
  auto im = TInputMethod::Start(Session(), &error);
  ASSERT_TRUE(im) << error.toStdString();
  RecordProperty("input_method_start_ms", int(timer.elapsed()));
  EXPECT_EQ(im->Engine(), TInputMethod::Pinyin);
  const QString tag = im->Tag();
  EXPECT_GE(TInputMethod::Processes(tag).size(), 3u) << "the bus, ibus-daemon and the engine carry the tag";
  {
    const QProcessEnvironment env = im->ClientEnvironment();
    auto probe = Spawn(Probe, {"gui"}, &env);
    ASSERT_TRUE(probe->WaitForLine("ready"));
    probe->Send("input");
    const auto shown = probe->WaitForLine("shown");
    ASSERT_TRUE(shown);
    const xcb_window_t window = shown->mid(6).toUInt();
    ASSERT_TRUE(Xdo().Activate(window));
    ASSERT_TRUE(probe->WaitForLine("focus in"));

    // What the probe says up to and including `last`.
    auto until = [&](const QString& last) {
      TLines lines;
      while (auto line = probe->ReadLine(10000)) {
        lines.push_back(*line);
        if (*line == last) return lines;
      }
      ADD_FAILURE() << "the probe never said \"" << last.toStdString() << "\" but:" << Joined(lines)
                    << "\nits stderr: " << probe->StdErr().toStdString() << "\n"
                    << im->Log().toStdString();
      return lines;
    };
    auto type = [&](const QString& text) { return Xdo().Run({"type", text}); };

    ASSERT_TRUE(type("nihao"));
    const TLines composing = until("preedit 你好");
    EXPECT_EQ(Count(composing, "key "), 0) << Joined(composing);
    EXPECT_EQ(Count(composing, "text "), 0) << "pre-edit text is not the widget's text yet:" << Joined(composing);
    EXPECT_GE(Count(composing, "preedit "), 5) << "one pre-edit per letter:" << Joined(composing);
    // The pre-edit for "niha", to compare with what Backspace leaves below.
    const auto beforeLast = std::find_if(composing.rbegin(), composing.rend(), [&](const QString& line) {
      return line.startsWith("preedit ") && line != "preedit " && line != composing.back();
    });
    ASSERT_NE(beforeLast, composing.rend());
    const QString niha = *beforeLast;

    ASSERT_TRUE(Xdo().Key("space"));
    const TLines committed = until("text 你好");
    EXPECT_TRUE(Has(committed, "commit 你好")) << Joined(committed);
    EXPECT_EQ(Count(committed, "key "), 0) << Joined(committed);

    // Backspace and Return while composing belong to the engine: Backspace takes back a letter,
    // Return commits the letters as typed. Neither reaches the widget; once nothing is composed
    // they do.
    ASSERT_TRUE(type("nihao"));
    until("preedit 你好");
    ASSERT_TRUE(Xdo().Key("BackSpace"));
    TLines lines = until(niha);
    ASSERT_TRUE(Xdo().Key("Return"));
    const TLines returned = until("text 你好niha");
    EXPECT_TRUE(Has(returned, "commit niha")) << Joined(returned);
    ASSERT_TRUE(Xdo().Key("Return"));
    const TLines idleReturn = until("key Return");
    probe->Send("ping");  // a key that leaked late would show before the answer
    const TLines afterwards = until("pong");
    for (const TLines* part : {&returned, &idleReturn, &afterwards})
      lines.insert(lines.end(), part->begin(), part->end());
    EXPECT_EQ(Count(lines, "key "), 1) << "only the Return pressed with nothing composed:" << Joined(lines);
    EXPECT_EQ(Count(lines, "text "), 1) << Joined(lines);

    // Escape drops the composition; Backspace then edits the text.
    ASSERT_TRUE(type("nihao"));
    until("preedit 你好");
    ASSERT_TRUE(Xdo().Key("Escape"));
    ASSERT_TRUE(Xdo().Key("BackSpace"));
    const TLines escaped = until("text 你好nih");
    EXPECT_EQ(Count(escaped, "commit "), 0) << Joined(escaped);
    EXPECT_EQ(Count(escaped, "key "), 1) << Joined(escaped);
    EXPECT_TRUE(Has(escaped, "key Backspace")) << Joined(escaped);

    // The candidate window would go where the widget's caret is, in screen coordinates.
    probe->Send("imrect");
    const auto rect = probe->WaitForLine("imrect");
    ASSERT_TRUE(rect);
    const QStringList r = rect->split(' ');
    const QRect caret(r.value(1).toInt(), r.value(2).toInt(), r.value(3).toInt(), r.value(4).toInt());
    const auto info = X().Info(window);
    ASSERT_TRUE(info);
    EXPECT_FALSE(caret.isEmpty());
    EXPECT_TRUE(info->Geometry.contains(caret)) << "caret " << rect->toStdString();

    ASSERT_TRUE(im->SetEngine(TInputMethod::Latin, &error)) << error.toStdString();
    ASSERT_TRUE(type("hello"));
    const TLines latin = until("text 你好nihhello");
    EXPECT_EQ(Count(latin, "key "), 5) << Joined(latin);
    EXPECT_EQ(Count(latin, "commit "), 0) << Joined(latin);
    EXPECT_EQ(Count(latin, "preedit "), std::count(latin.begin(), latin.end(), QString("preedit ")))
        << "the Latin engine composes nothing:" << Joined(latin);
  }
  timer.restart();
  im.reset();
  RecordProperty("input_method_stop_ms", int(timer.elapsed()));
  EXPECT_TRUE(TInputMethod::Processes(tag).empty());
}

}  // namespace
}  // namespace e2e
