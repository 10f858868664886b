#pragma once

#include <array>
#include <cstdint>
#include <span>

// 32-bit colour, red in the low byte, green in the next, blue in the third (0x00BBGGRR).
// A value with the top bit set is a reference to the desktop's colour scheme: the low byte is
// the index of a system colour, resolved by ColorToRGB when a pen or brush is used.
using TColor = std::uint32_t;

inline constexpr TColor clSystemColor = 0x80000000u;

// Standard colours.
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;

// Extended colours.
inline constexpr TColor clMoneyGreen = 0xC0DCC0;
inline constexpr TColor clSkyBlue = 0xF0CAA6;
inline constexpr TColor clCream = 0xF0FBFF;
inline constexpr TColor clMedGray = 0xA4A0A0;

// System colours, by the desktop scheme's indices.
inline constexpr TColor clScrollBar = clSystemColor | 0;
inline constexpr TColor clBackground = clSystemColor | 1;
inline constexpr TColor clActiveCaption = clSystemColor | 2;
inline constexpr TColor clInactiveCaption = clSystemColor | 3;
inline constexpr TColor clMenu = clSystemColor | 4;
inline constexpr TColor clWindow = clSystemColor | 5;
inline constexpr TColor clWindowFrame = clSystemColor | 6;
inline constexpr TColor clMenuText = clSystemColor | 7;
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clCaptionText = clSystemColor | 9;
inline constexpr TColor clActiveBorder = clSystemColor | 10;
inline constexpr TColor clInactiveBorder = clSystemColor | 11;
inline constexpr TColor clAppWorkSpace = clSystemColor | 12;
inline constexpr TColor clHighlight = clSystemColor | 13;
inline constexpr TColor clHighlightText = clSystemColor | 14;
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clBtnShadow = clSystemColor | 16;
inline constexpr TColor clGrayText = clSystemColor | 17;
inline constexpr TColor clBtnText = clSystemColor | 18;
inline constexpr TColor clInactiveCaptionText = clSystemColor | 19;
inline constexpr TColor clBtnHighlight = clSystemColor | 20;
inline constexpr TColor cl3DDkShadow = clSystemColor | 21;
inline constexpr TColor cl3DLight = clSystemColor | 22;
inline constexpr TColor clInfoText = clSystemColor | 23;
inline constexpr TColor clInfoBk = clSystemColor | 24;
inline constexpr TColor clHotLight = clSystemColor | 26;
inline constexpr TColor clGradientActiveCaption = clSystemColor | 27;
inline constexpr TColor clGradientInactiveCaption = clSystemColor | 28;
inline constexpr TColor clMenuHighlight = clSystemColor | 29;
inline constexpr TColor clMenuBar = clSystemColor | 30;

inline constexpr int SystemColorCount = 31;

struct TNamedColor {
  const char* Name;
  TColor Value;
};

// The colours a user can pick for the pen, in the order the colour list shows them:
// 16 standard, 4 extended, 30 system colours.
std::span<const TNamedColor> PenColorList();

// Resolves a system colour reference through the current scheme; plain colours pass through.
// The result has no system bit and is 0x00BBGGRR.
TColor ColorToRGB(TColor color);

// The 32-bit pixel of a colour (QImage::Format_RGB32 layout, 0x00RRGGBB: copy mode writes 0 in
// the top byte, XOR keeps the destination's), system colours resolved.
std::uint32_t ColorToPixel(TColor color);
// The colour of a pixel; the top byte is ignored.
TColor PixelToColor(std::uint32_t pixel);

// The classic desktop colours of the system colour references (index -> 0x00BBGGRR).
const std::array<TColor, SystemColorCount>& ClassicSystemColorScheme();

// Replaces the desktop colour scheme used to resolve system colours (index -> 0x00BBGGRR).
// Until it is called, classic defaults are used. Called by the platform layer from the
// desktop's palette at start-up; tests may call it to pin values.
void SetSystemColorScheme(const std::array<TColor, SystemColorCount>& scheme);
