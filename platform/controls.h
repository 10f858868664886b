#pragma once

#include <QCursor>
#include <QFlags>
#include <Qt>

enum TMouseButton { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

enum TShiftFlag : unsigned {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
};
using TShiftState = unsigned;

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
// False for buttons the program does not know (back, forward, ...).
bool MouseButtonOf(Qt::MouseButton qtButton, TMouseButton& button);

using TCursor = int;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crDrag = -12;

// The shape of a cursor identifier: crDrag is an arrow with a small rectangle below its tail,
// hot spot at the arrow's tip.
QCursor CursorOf(TCursor cursor);

// Virtual-key codes used by the key handlers.
inline constexpr int VK_BACK = 8;
inline constexpr int VK_RETURN = 13;
inline constexpr int VK_ESCAPE = 27;
inline constexpr int VK_UP = 38;
inline constexpr int VK_DOWN = 40;
inline constexpr int VK_Y = 0x59;
inline constexpr int VK_Z = 0x5A;
// The virtual-key code of a Qt key (letters and digits as their upper-case character), 0 when
// it has none.
int VirtualKeyOf(int qtKey);
