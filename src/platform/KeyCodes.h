#pragma once

#include <Qt>
#include <QtGlobal>

class QKeyEvent;

// Keys as the key handler of the main window sees them: 16-bit virtual key
// codes (Z = 90, Page Up = 33, Left = 37, ...) and modifier bits.
namespace KeyCode {
inline constexpr qint16 Backspace = 8;
inline constexpr qint16 Tab = 9;
inline constexpr qint16 Return = 13;
inline constexpr qint16 Escape = 27;
inline constexpr qint16 Space = 32;
inline constexpr qint16 PageUp = 33;
inline constexpr qint16 PageDown = 34;
inline constexpr qint16 End = 35;
inline constexpr qint16 Home = 36;
inline constexpr qint16 Left = 37;
inline constexpr qint16 Up = 38;
inline constexpr qint16 Right = 39;
inline constexpr qint16 Down = 40;
inline constexpr qint16 Insert = 45;
inline constexpr qint16 Delete = 46;
inline constexpr qint16 Z = 90;
} // namespace KeyCode

namespace ShiftBit {
inline constexpr qint16 Shift = 1;
inline constexpr qint16 Ctrl = 2;
inline constexpr qint16 Alt = 4;
} // namespace ShiftBit

// The virtual key code of a Qt key; 0 for a key without one.
qint16 virtualKeyCode(int qtKey);
qint16 shiftState(Qt::KeyboardModifiers modifiers);
