// The behaviour the framework keeps for the width field, its up-down and the colour list, on a
// widgetset of the test's own that only holds what the controls give it: the mask's positions,
// the caret after each key, the change events, the up-down's range, the list's entries.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/colorbox.h"
#include "platform/edits.h"
#include "platform/widgetset.h"
#include "tests/support/fakewidgetset.h"

namespace {

TFakeControl& Native(const TControl& control) { return static_cast<TFakeControl&>(control.Handle()); }

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallWidgetSet(&FWidgetSet); }
  void TearDown() override { InstallWidgetSet(nullptr); }

 private:
  TFakeWidgetSet FWidgetSet;
};

// What the user does in the field: a key, what a key types, or pasted / committed text.
enum TAction { acKey, acType, acInsert };

struct TMaskCase {
  const char* Name;
  const char* Start;  // given to SetText
  int SelStart;
  int SelLength;
  TAction Action;
  int Key;
  const char* Text;
  const char* Expected;  // Text() afterwards
  const char* Shown;     // what the native control shows
  int Caret;
  int Changes;
};

const TMaskCase MaskCases[] = {
    {"a digit into an empty field", "", 0, 0, acType, 0, "7", " 7", "7_", 1, 1},
    {"a digit over the selection", "12", 0, 2, acType, 0, "5", " 5", "5_", 1, 1},
    {"a digit in the second position", "", 1, 0, acType, 0, "4", " 4", "_4", 2, 1},
    {"a digit past the last position", "12", 2, 0, acType, 0, "3", "12", "12", 2, 0},
    {"a letter is refused", "12", 1, 0, acType, 0, "x", "12", "12", 1, 0},
    {"a text not starting with a digit is refused", "", 0, 0, acType, 0, "a1", "  ", "__", 0, 0},
    {"a full-width digit from an input method", "", 0, 0, acType, 0, "３", " ３", "３_", 1, 1},
    {"pasted text gives its digits", "", 0, 0, acInsert, 0, "a1b2c3", "12", "12", 2, 1},
    {"pasted text over a selection", "12", 1, 1, acInsert, 0, "9", "19", "19", 2, 1},
    {"pasted text without digits", "12", 0, 2, acInsert, 0, "ab", "  ", "__", 0, 1},
    {"Backspace empties the position before the caret", "12", 1, 0, acKey, VK_BACK, "", " 2", "_2", 0, 1},
    {"Backspace at the start", "12", 0, 0, acKey, VK_BACK, "", "12", "12", 0, 0},
    {"Backspace over a selection", "12", 1, 1, acKey, VK_BACK, "", " 1", "1_", 1, 1},
    {"Delete empties the position after the caret", "12", 0, 0, acKey, VK_DELETE, "", " 2", "_2", 0, 1},
    {"Delete at the end", "12", 2, 0, acKey, VK_DELETE, "", "12", "12", 2, 0},
    {"Delete over everything", "12", 0, 2, acKey, VK_DELETE, "", "  ", "__", 0, 1},
};

TEST_F(ControlsTest, TheWidthFieldFillsItsTwoPositionsAsTheMaskSays) {
  for (const TMaskCase& c : MaskCases) {
    SCOPED_TRACE(c.Name);
    TMaskEdit edit("MElinewidth", nullptr);
    edit.SetText(c.Start);
    int changes = 0;
    edit.OnChange = [&] { ++changes; };
    TFakeControl& native = Native(edit);
    native.Start = c.SelStart;
    native.Length = c.SelLength;
    if (c.Action == acKey)
      EXPECT_TRUE(edit.KeyDown(c.Key, 0));
    else if (c.Action == acType)
      edit.KeyPress(c.Text);
    else
      edit.Insert(c.Text);
    EXPECT_EQ(edit.Text(), String(c.Expected));
    EXPECT_EQ(native.Shown, String(c.Shown));
    // A refused key leaves the caret where the user put it.
    EXPECT_EQ(native.Start, c.Caret);
    EXPECT_EQ(changes, c.Changes);
  }
}

TEST_F(ControlsTest, SetTextFillsFromTheRightAndReportsOnlyARealChange) {
  const struct {
    const char* Text;
    const char* Expected;
    const char* Shown;
  } cases[] = {
      {" 3", " 3", "_3"}, {"3", " 3", "_3"},  {"12", "12", "12"}, {"123", "12", "12"},
      {"a5", " 5", "_5"}, {"5a", " 5", "5_"}, {"", "  ", "__"},
  };
  TMaskEdit edit("MElinewidth", nullptr);
  EXPECT_EQ(Native(edit).Shown, "__");
  int changes = 0;
  edit.OnChange = [&] { ++changes; };
  String last = edit.Text();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    const int before = changes;
    edit.SetText(c.Text);
    EXPECT_EQ(edit.Text(), String(c.Expected));
    EXPECT_EQ(Native(edit).Shown, String(c.Shown));
    EXPECT_EQ(Native(edit).Start, TMaskEdit::Positions);
    EXPECT_EQ(changes - before, last == c.Expected ? 0 : 1);
    last = c.Expected;
  }
}

TEST_F(ControlsTest, TheUpDownStepsFromTheFieldWithinItsRange) {
  const struct {
    const char* Field;
    int Step;
    int Position;
    const char* After;
  } cases[] = {
      {" 3", 1, 4, " 4"},
      {" 3", -1, 2, " 2"},
      {"20", 1, 20, "20"},
      {"19", 1, 20, "20"},
      {" 1", -1, 1, " 1"},
      {" 2", -1, 1, " 1"},
      {"99", -1, 20, "20"},
      {" 0", 1, 1, " 1"},
      {" 0", -1, 1, " 1"},
      // An empty field steps from the position the last step left.
      {"  ", 1, 2, " 2"},
  };
  TMaskEdit edit("MElinewidth", nullptr);
  TUpDown upDown("UpDown1", nullptr);
  upDown.SetRange(1, 20);
  upDown.SetPosition(3);
  upDown.SetAssociate(&edit);
  int changes = 0;
  edit.OnChange = [&] { ++changes; };
  for (const auto& c : cases) {
    SCOPED_TRACE(String(c.Field) + " " + std::to_string(c.Step));
    edit.SetText(c.Field);
    const int before = changes;
    upDown.Step(c.Step);
    EXPECT_EQ(upDown.Position(), c.Position);
    EXPECT_EQ(edit.Text(), String(c.After));
    EXPECT_EQ(changes - before, String(c.Field) == c.After ? 0 : 1);
  }
  // The arrow keys in the field and the arrows of the control step the same way.
  edit.SetText(" 5");
  EXPECT_TRUE(edit.KeyDown(VK_UP, 0));
  EXPECT_EQ(edit.Text(), " 6");
  EXPECT_TRUE(edit.KeyDown(VK_DOWN, 0));
  EXPECT_EQ(edit.Text(), " 5");
  upDown.Click(btNext);
  EXPECT_EQ(edit.Text(), " 6");
  upDown.Click(btPrev);
  EXPECT_EQ(edit.Text(), " 5");
  // Keys that move the caret stay the native control's.
  EXPECT_FALSE(edit.KeyDown(37, 0));
  EXPECT_FALSE(edit.KeyDown(0, 0));
}

TEST_F(ControlsTest, TheUpDownsRangeHoldsItsPosition) {
  TUpDown upDown("UpDown1", nullptr);
  upDown.SetRange(1, 20);
  const struct {
    int Set;
    int Held;
  } cases[] = {{0, 1}, {1, 1}, {20, 20}, {21, 20}, {-5, 1}};
  for (const auto& c : cases) {
    upDown.SetPosition(c.Set);
    EXPECT_EQ(upDown.Position(), c.Held) << c.Set;
  }
  // A narrower range takes the position in; a reversed one is a single number.
  upDown.SetPosition(20);
  upDown.SetRange(1, 10);
  EXPECT_EQ(upDown.Position(), 10);
  upDown.SetRange(5, 2);
  EXPECT_EQ(upDown.Position(), 5);
  upDown.Step(1);
  EXPECT_EQ(upDown.Position(), 5);
}

TEST_F(ControlsTest, TheColourBoxSelectsByColourAndReportsOnlyPicks) {
  TColorBox box("CBColor", nullptr);
  EXPECT_EQ(Native(box).Items.size(), PenColorList().size());
  EXPECT_EQ(Native(box).Items.front(), "clBlack");
  int changes = 0;
  box.OnChange = [&] { ++changes; };
  ASSERT_TRUE(box.Select(clRed));
  EXPECT_EQ(Native(box).Items[Native(box).Index], "clRed");
  EXPECT_EQ(box.Selected(), clRed);
  EXPECT_EQ(changes, 0);

  box.SetColors({{clBlack, "黑色"}, {clRed, "红色"}, {clRed, "又一个红色"}});
  EXPECT_EQ(Native(box).Items, (std::vector<String>{"黑色", "红色", "又一个红色"}));
  EXPECT_FALSE(box.Select(clBlue));
  // The first entry holding the colour.
  ASSERT_TRUE(box.Select(clRed));
  EXPECT_EQ(Native(box).Index, 1);
  box.AddColor(clBlue, "自定义");
  ASSERT_TRUE(box.Select(clBlue));
  EXPECT_EQ(Native(box).Index, 3);
  EXPECT_EQ(box.Selected(), clBlue);
  // The user picks the first entry.
  Native(box).Index = 0;
  box.Change();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(box.Selected(), clBlack);
  // An empty list reads as black.
  box.SetColors({});
  Native(box).Index = -1;
  EXPECT_EQ(box.Selected(), TColor{0});
}

}  // namespace
