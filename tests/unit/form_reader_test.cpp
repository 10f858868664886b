#include <gtest/gtest.h>

#include "platform/formreader.h"

namespace {

const char* const Sample = R"(// a comment
object Form1: TForm1
  Left = -12
  Caption = 'it''s ' + #20320'好'
    + 'x'#33
  BorderStyle = bsNone
  BorderIcons = []
  Anchors = [akLeft, akTop]
  Font.Name = 'MS Sans Serif'
  Lines.Strings = (
    'one'
    'two')
  object Panel1: TPanel
    object Button1: TButton
      OnClick = Button1Click
    end
  end
end
)";

String ErrorOf(std::string_view text) {
  try {
    ReadForm("Sample", text);
  } catch (const EFormError& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace

TEST(FormReader, ReadsEveryKindOfValueAndTheComponentsItOwns) {
  const TFormObject form = ReadForm("Sample", Sample);
  EXPECT_EQ(form.Name, "Form1");
  EXPECT_EQ(form.ClassName, "TForm1");
  EXPECT_EQ(form.Line, 2);
  TPropertyReader r("Sample", form);
  EXPECT_EQ(r.Integer("Left"), -12);
  EXPECT_EQ(r.Text("Caption"), "it's 你好x!");
  EXPECT_EQ(r.Choice("BorderStyle", {"bsSizeable", "bsNone"}), 1);
  EXPECT_EQ(r.Set("BorderIcons", {"biSystemMenu"}), 0u);
  EXPECT_EQ(r.Set("Anchors", {"akLeft", "akTop", "akRight"}), 3u);
  EXPECT_EQ(r.Text("Font.Name"), "MS Sans Serif");
  EXPECT_EQ(r.Strings("Lines.Strings"), (std::vector<String>{"one", "two"}));
  EXPECT_NO_THROW(r.Finish());
  EXPECT_EQ(form.Property("Lines.Strings")->Line, 10);

  const TFormObject* button = form.Find("Button1");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->ClassName, "TButton");
  EXPECT_EQ(button->Line, 14);
  EXPECT_EQ(TPropertyReader("Sample", *button).Event("OnClick"), "Button1Click");
  EXPECT_EQ(form.Find("Nothing"), nullptr);
}

TEST(FormReader, AMalformedDescriptionNamesTheFormTheLineAndWhatIsWrong) {
  const struct {
    const char* Text;
    const char* Error;
  } cases[] = {
      {"object F: TF\n  Left = 1\n", "form Sample, line 3: the form ends before the 'end' of F"},
      {"object F: TF\nend\nend\n", "form Sample, line 3: text after the form's last 'end'"},
      {"thing F: TF\nend\n", "form Sample, line 1: expected 'object'"},
      {"object F TF\nend\n", "form Sample, line 1: expected ':' and the component's class"},
      {"object F: TF\n  Left 1\nend\n", "form Sample, line 2: expected '=' after Left"},
      {"object F: TF\n  Left = 12a\nend\n", "form Sample, line 2: the value of Left is not a number"},
      {"object F: TF\n  Caption = 'open\nend\n", "form Sample, line 2: the string of Caption is not closed"},
      {"object F: TF\n  Caption = 'a' +\nend\n",
       "form Sample, line 3: expected more of the string of Caption after '+'"},
      {"object F: TF\n  Caption = #55296\nend\n",
       "form Sample, line 2: a character code in Caption is not a character"},
      {"object F: TF\n  Left = 1\n  Left = 2\nend\n", "form Sample, line 3: property Left is given twice"},
      {"object F: TF\n  Anchors = [akLeft akTop]\nend\n",
       "form Sample, line 2: expected ',' or ']' in the set Anchors"},
      {"object F: TF\n  Lines = ('a'\n", "form Sample, line 3: the list Lines has no ')'"},
      {"object F: TF\n  Font. = 1\nend\n", "form Sample, line 2: expected a property name after '.'"},
      {"object F: TF\n  Left = @\nend\n", "form Sample, line 2: expected a value for Left"},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.Text), c.Error) << c.Text;
}

TEST(FormReader, APropertyOfTheWrongKindOrUnknownIsNamedWithItsComponent) {
  const TFormObject form = ReadForm("Sample", Sample);
  TPropertyReader r("Sample", form);
  const auto error = [](auto&& read) -> String {
    try {
      read();
    } catch (const EFormError& e) {
      return e.what();
    }
    return "no error";
  };
  EXPECT_EQ(error([&] { r.Integer("Caption"); }),
            "form Sample, line 4: property Form1.Caption (TForm1) must be an integer");
  EXPECT_EQ(error([&] { r.Text("Left"); }), "form Sample, line 3: property Form1.Left (TForm1) must be a string");
  EXPECT_EQ(error([&] {
              r.Choice("BorderStyle", {"bsSingle", "bsDialog"});
            }),
            "form Sample, line 6: property Form1.BorderStyle (TForm1) must be one of bsSingle, bsDialog, not bsNone");
  EXPECT_EQ(error([&] { r.Boolean("BorderStyle"); }),
            "form Sample, line 6: property Form1.BorderStyle (TForm1) must be one of False, True, not bsNone");
  EXPECT_EQ(error([&] { r.Set("Anchors", {"akLeft"}); }),
            "form Sample, line 8: property Form1.Anchors (TForm1) may hold only akLeft, not akTop");
  EXPECT_EQ(error([&] { r.Integer("Width"); }), "form Sample, line 2: property Form1.Width (TForm1) is missing");
  EXPECT_EQ(error([&] { r.Finish(); }),
            "form Sample, line 7: property Form1.BorderIcons (TForm1) is not a property of this component");
  const TFormObject big = ReadForm("Big", "object F: TF\n  Left = 2147483648\nend\n");
  EXPECT_EQ(error([&] { TPropertyReader("Big", big).Integer("Left"); }),
            "form Big, line 2: property F.Left (TF) is out of range");
}
