#include "shell/foption.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

#include "platform/application.h"
#include "platform/formbuilder.h"
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

String UsageText() {
  std::string_view text = TextResource("help.txt");
  // The file's last newline ends its last line; it does not start an empty one.
  if (text.ends_with('\n')) text.remove_suffix(1);
  return String(text);
}

}  // namespace

TFOption::TFOption() : TForm("FOption", TFormRole::Dialog) {
  ::FOption = this;
  // Above the stay-on-top surface it is opened over.
  SetFormStyle(fsStayOnTop);
  TFormBuilder form(*this, "FOption");
  form.Component("Panel1", Panel1)
      .Component("Label1", Label1)
      .Component("Label2", Label2)
      .Component("RichEdit1", RichEdit1)
      .Component("Panel2", Panel2)
      .Component("Button1", Button1)
      .Handler("Button1Click", [this] { Button1Click(); });
  form.Build();

  SetColor(clBtnFace);

  // Kai (brush) faces: KaiTi on Windows, AR PL UKai from fonts-arphic-ukai on Debian.
  const TFont title = DisplayFont({"KaiTi", "AR PL UKai CN"});
  Label1->SetFont(title, TitlePixels);
  Label2->SetFont(title, TitlePixels);
  // Song/Ming faces for the text.
  RichEdit1->SetFont(DisplayFont({"SimSun", "AR PL UMing CN", "Noto Serif CJK SC"}), TextPixels);
  RichEdit1->SetText(UsageText());
  FormCreate();
}

TFOption::~TFOption() {
  if (::FOption == this) ::FOption = nullptr;
}

// Nothing to prepare: the window is complete once its description is loaded.
void TFOption::FormCreate() {}

void TFOption::Button1Click() { Close(); }

void TFOption::DoShow() {
  FitFrame();
  CentreOnScreen();
}

void TFOption::DoFrameKnown() { FitFrame(); }

void TFOption::FitFrame() {
  if (FFrameFitted || !FrameKnown()) return;
  FFrameFitted = true;
  const TRect frame = FrameRect();
  const TRect client = BoundsRect();
  SetClientSize(OuterWidth - static_cast<int>(frame.Width() - client.Width()),
                OuterHeight - static_cast<int>(frame.Height() - client.Height()));
  if (Visible()) CentreOnScreen();
}

void TFOption::CentreOnScreen() {
  // Over a frozen screen, that one; otherwise where the teacher points.
  const TRect area = FCover && FCover->Visible() ? FCover->MonitorRect() : Screen().MonitorRectUnderPointer();
  const TRect frame = FrameRect();
  // The frame's centre pixel on the area's centre pixel (of an even size, the one left of and
  // above the middle).
  const auto centred = [](std::int64_t from, std::int64_t size, std::int64_t inner) {
    return static_cast<int>((2 * from + size - 1) / 2 - (inner - 1) / 2);
  };
  const int left = centred(area.Left, area.Width(), frame.Width());
  const int top = centred(area.Top, area.Height(), frame.Height());
  // A screen smaller than the window keeps the title bar on it.
  MoveFrame(std::max(left, area.Left), std::max(top, area.Top));
}
