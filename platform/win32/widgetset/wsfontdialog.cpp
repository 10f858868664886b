#include "platform/fontdialog.h"
#include "platform/win32/widgetset/wsdialogs.h"
// After the API header, which it needs.
#include <commdlg.h>

#include <algorithm>
#include <cstdlib>

#include "platform/win32/widgetset/wsraster.h"

namespace {

// The dialog reckons points at the screen's resolution (iPointSize from lfHeight).
int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

LOGFONTW LogFontOf(const TFont& font, int dpi) {
  LOGFONTW log{};
  log.lfHeight = -MulDiv(std::max(1, font.Size), dpi, 72);
  log.lfWeight = font.Style & fsBold ? FW_BOLD : FW_NORMAL;
  log.lfItalic = font.Style & fsItalic ? TRUE : FALSE;
  log.lfUnderline = font.Style & fsUnderline ? TRUE : FALSE;
  log.lfStrikeOut = font.Style & fsStrikeOut ? TRUE : FALSE;
  log.lfCharSet = DEFAULT_CHARSET;
  // No face of its own: the desktop's, as the font draws.
  const std::wstring face = WideOf(font.Name.empty() ? DefaultFontFace() : font.Name);
  face.copy(log.lfFaceName, std::min<std::size_t>(face.size(), LF_FACESIZE - 1));
  return log;
}

}  // namespace

bool TFontDialog::Execute() {
  const int dpi = ScreenDpi();
  LOGFONTW log = LogFontOf(Font, dpi);
  CHOOSEFONTW choose{};
  choose.lStructSize = sizeof choose;
  choose.hwndOwner = DialogOwnerWindow();
  choose.lpLogFont = &log;
  choose.iPointSize = std::max(1, Font.Size) * 10;
  choose.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
  // A system colour (clWindowText) shows as what it is now; the dialog's list has plain colours.
  choose.rgbColors = ColorToRGB(Font.Color);
  TSystemDialogScope modal(choose.hwndOwner);
  if (!ChooseFontW(&choose)) return false;
  TFont chosen;
  chosen.Name = Utf8Of(std::wstring_view(log.lfFaceName));
  // iPointSize is in tenths of a point; the framework's sizes are whole points.
  chosen.Size = choose.iPointSize > 0 ? (choose.iPointSize + 5) / 10 : MulDiv(std::abs(int(log.lfHeight)), 72, dpi);
  chosen.Style = (log.lfWeight >= FW_SEMIBOLD ? fsBold : 0u) | (log.lfItalic ? fsItalic : 0u) |
                 (log.lfUnderline ? fsUnderline : 0u) | (log.lfStrikeOut ? fsStrikeOut : 0u);
  // The colour the user left alone stays what it was (a system colour keeps following the desktop).
  chosen.Color = choose.rgbColors == ColorToRGB(Font.Color) ? Font.Color : TColor(choose.rgbColors & 0xFFFFFF);
  Font = chosen;
  return true;
}
