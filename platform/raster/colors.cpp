#include "platform/raster/colors.h"

namespace {

// The classic desktop scheme, used until the platform layer hands over the real one. Index 25
// has no colour of its own on the classic desktop and resolves to black.
constexpr std::array<TColor, SystemColorCount> ClassicScheme = {
    0xC8D0D4,  // clScrollBar
    0xA56E3A,  // clBackground
    0x6A240A,  // clActiveCaption
    0x808080,  // clInactiveCaption
    0xC8D0D4,  // clMenu
    0xFFFFFF,  // clWindow
    0x000000,  // clWindowFrame
    0x000000,  // clMenuText
    0x000000,  // clWindowText
    0xFFFFFF,  // clCaptionText
    0xC8D0D4,  // clActiveBorder
    0xC8D0D4,  // clInactiveBorder
    0x808080,  // clAppWorkSpace
    0x6A240A,  // clHighlight
    0xFFFFFF,  // clHighlightText
    0xC8D0D4,  // clBtnFace
    0x808080,  // clBtnShadow
    0x808080,  // clGrayText
    0x000000,  // clBtnText
    0xC8D0D4,  // clInactiveCaptionText
    0xFFFFFF,  // clBtnHighlight
    0x404040,  // cl3DDkShadow
    0xC8D0D4,  // cl3DLight
    0x000000,  // clInfoText
    0xE1FFFF,  // clInfoBk
    0x000000,  // (unused index)
    0x800000,  // clHotLight
    0xF0CAA6,  // clGradientActiveCaption
    0xC0C0C0,  // clGradientInactiveCaption
    0x6A240A,  // clMenuHighlight
    0xC8D0D4,  // clMenuBar
};

// Read on every pen change, written once at start-up on the GUI thread.
std::array<TColor, SystemColorCount> Scheme = ClassicScheme;

constexpr TNamedColor PenColors[] = {
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clMoneyGreen", clMoneyGreen},
    {"clSkyBlue", clSkyBlue},
    {"clCream", clCream},
    {"clMedGray", clMedGray},
    {"clActiveBorder", clActiveBorder},
    {"clActiveCaption", clActiveCaption},
    {"clAppWorkSpace", clAppWorkSpace},
    {"clBackground", clBackground},
    {"clBtnFace", clBtnFace},
    {"clBtnHighlight", clBtnHighlight},
    {"clBtnShadow", clBtnShadow},
    {"clBtnText", clBtnText},
    {"clCaptionText", clCaptionText},
    {"clGradientActiveCaption", clGradientActiveCaption},
    {"clGradientInactiveCaption", clGradientInactiveCaption},
    {"clGrayText", clGrayText},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clHotLight", clHotLight},
    {"clInactiveBorder", clInactiveBorder},
    {"clInactiveCaption", clInactiveCaption},
    {"clInactiveCaptionText", clInactiveCaptionText},
    {"clInfoBk", clInfoBk},
    {"clInfoText", clInfoText},
    {"clMenu", clMenu},
    {"clMenuBar", clMenuBar},
    {"clMenuHighlight", clMenuHighlight},
    {"clMenuText", clMenuText},
    {"clScrollBar", clScrollBar},
    {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clWindowText", clWindowText},
};
static_assert(std::size(PenColors) == 50);

}  // namespace

std::span<const TNamedColor> PenColorList() { return PenColors; }

TColor ColorToRGB(TColor color) {
  if ((color & clSystemColor) != 0) {
    const unsigned index = color & 0xFF;
    return index < Scheme.size() ? (Scheme[index] & 0xFFFFFF) : 0;
  }
  return color & 0xFFFFFF;
}

std::uint32_t ColorToPixel(TColor color) {
  const TColor rgb = ColorToRGB(color);
  return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

TColor PixelToColor(std::uint32_t pixel) { return ((pixel & 0xFF) << 16) | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF); }

const std::array<TColor, SystemColorCount>& ClassicSystemColorScheme() { return ClassicScheme; }

void SetSystemColorScheme(const std::array<TColor, SystemColorCount>& scheme) { Scheme = scheme; }
