#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include "platform/formresources.h"
#include "platform/image.h"
#include "platform/qt/qtcontrols.h"
#include "platform/qt/qtform.h"
#include "platform/formbuilder.h"
#include "platform/stdctrls.h"
#include "platform/qt/qtmenus.h"

namespace {

// A form with one of each kind of component the builder makes, bound as a form class would.
struct TSampleForm {
  TForm Window{"Sample"};
  TImage* Image1 = nullptr;
  TSpeedButton* Bplay = nullptr;
  TButton* Bup = nullptr;
  TPopupMenu* PopupMenu1 = nullptr;
  TMenuItem* Nstart = nullptr;
  int Clicks = 0;

  void Build(std::string_view text) {
    TFormBuilder form(Window, "Sample");
    form.Component("Image1", Image1)
        .Component("Bplay", Bplay)
        .Component("Bup", Bup)
        .Component("PopupMenu1", PopupMenu1)
        .Component("Nstart", Nstart)
        .Handler("Click", [this] { ++Clicks; });
    form.Build(text);
  }
};

const char* const Good = R"(object Sample: TSample
  Left = 1
  Top = 2
  ClientWidth = 40
  ClientHeight = 30
  Caption = 'KEZ'
  BorderStyle = bsNone
  object Image1: TImage
    Left = 0
    Top = 0
    Width = 36
    Height = 36
    Hint = '单击右键弹出菜单'
    PopupMenu = PopupMenu1
  end
  object Bplay: TSpeedButton
    Left = 10
    Top = 10
    Width = 17
    Height = 17
    Flat = True
    OnClick = Click
  end
  object Bup: TButton
    Left = 10
    Top = 2
    Width = 17
    Height = 9
    Enabled = False
    TabStop = False
  end
  object PopupMenu1: TPopupMenu
    object Nstart: TMenuItem
      Caption = '开始绘图'
      Checked = True
      ImageIndex = 7
      OnClick = Click
    end
  end
end
)";

String ErrorOf(std::string_view text) {
  TSampleForm form;
  try {
    form.Build(text);
  } catch (const EFormError& e) {
    return e.what();
  }
  return "no error";
}

String With(std::string_view from, std::string_view to) {
  String text = Good;
  const std::size_t at = text.find(from);
  if (at == String::npos) return "the case's text is not in the sample";
  return text.replace(at, from.size(), to);
}

}  // namespace

TEST(FormBuilder, BuildsEachComponentWithItsPropertiesAndEvents) {
  TSampleForm form;
  form.Build(Good);
  ASSERT_TRUE(form.Image1 && form.Bplay && form.Bup && form.PopupMenu1 && form.Nstart);
  EXPECT_EQ(QtOf(&form.Window)->windowTitle(), QStringLiteral("KEZ"));
  EXPECT_TRUE(QtOf(&form.Window)->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(QtOf(form.Image1)->geometry(), QRect(0, 0, 36, 36));
  EXPECT_EQ(QtOf(form.Image1)->toolTip(), QStringLiteral("单击右键弹出菜单"));
  EXPECT_EQ(QtOf(form.Image1)->contextMenuPolicy(), Qt::CustomContextMenu);
  EXPECT_TRUE(QtOf(form.Bplay)->autoRaise());
  EXPECT_EQ(QtOf(form.Bplay)->focusPolicy(), Qt::NoFocus);
  EXPECT_FALSE(QtOf(form.Bup)->isEnabled());
  EXPECT_EQ(QtOf(form.Bup)->focusPolicy(), Qt::NoFocus);
  ASSERT_EQ(form.PopupMenu1->Items().size(), 1u);
  EXPECT_EQ(form.PopupMenu1->Items()[0].get(), form.Nstart);
  EXPECT_EQ(form.Nstart->Caption(), "开始绘图");
  EXPECT_EQ(form.Nstart->ImageIndex, 7);
  EXPECT_EQ(QtMenu(*form.PopupMenu1)->actions(), QList<QAction*>{QtAction(*form.Nstart)});
  EXPECT_EQ(QtAction(*form.Nstart)->text(), QStringLiteral("开始绘图"));
  QtOf(form.Bplay)->click();
  // The menu does not toggle a checked item: its handler decides the mark.
  QtAction(*form.Nstart)->trigger();
  EXPECT_EQ(form.Clicks, 2);
  EXPECT_TRUE(form.Nstart->Checked());
  EXPECT_TRUE(QtAction(*form.Nstart)->isChecked());
  // The component's state is the native item's: a disabled item's choice runs nothing.
  form.Nstart->SetEnabled(false);
  EXPECT_FALSE(QtAction(*form.Nstart)->isEnabled());
  form.Nstart->Click();
  EXPECT_EQ(form.Clicks, 2);
  form.Nstart->SetChecked(false);
  EXPECT_FALSE(QtAction(*form.Nstart)->isChecked());
}

TEST(FormBuilder, ADescriptionThatDoesNotFitTheFormNamesTheFormAndTheProperty) {
  const struct {
    const char* From;
    const char* To;
    const char* Error;
  } cases[] = {
      {"    Flat = True\n", "    Flat = Yes\n",
       "form Sample, line 21: property Bplay.Flat (TSpeedButton) must be one of False, True, not Yes"},
      {"    Flat = True\n", "    Flat = True\n    Colour = 3\n",
       "form Sample, line 22: property Bplay.Colour (TSpeedButton) is not a property of this component"},
      {"    OnClick = Click\n  end\n  object Bup", "    OnClick = Clack\n  end\n  object Bup",
       "form Sample, line 22: property Bplay.OnClick (TSpeedButton) names Clack, which the form has no handler of"},
      {"    PopupMenu = PopupMenu1\n", "    PopupMenu = Bup\n",
       "form Sample, line 14: property Image1.PopupMenu (TImage) names Bup, which is no menu of the form"},
      {"    Width = 17\n    Height = 17\n", "    Height = 17\n",
       "form Sample, line 16: property Bplay.Width (TSpeedButton) is missing"},
      {"object Image1: TImage", "object Image1: TButton",
       "form Sample: the component Image1 is of a class its member cannot hold"},
      {"object Bup: TButton", "object Bdown: TButton", "form Sample: the description has no component Bup"},
      {"object Bup: TButton", "object Bup: TGauge",
       "form Sample, line 24: Bup is of the class TGauge, which this form cannot hold"},
      {"object Sample: TSample", "object Other: TSample",
       "form Sample, line 1: property Other.Name (TSample) names the form Other, not Sample"},
      {"  Caption = 'KEZ'\n", "  Caption = 'KEZ\n", "form Sample, line 6: the string of Caption is not closed"},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(With(c.From, c.To)), c.Error) << c.To;
}

TEST(FormBuilder, TheProgramHoldsTheDescriptionOfEachForm) {
  EXPECT_NE(FormDescription("Form1").find("object Form1: TForm1"), std::string_view::npos);
  EXPECT_THROW(FormDescription("Form9"), EFormError);
}
