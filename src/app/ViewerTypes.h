#pragma once

#include <QtGlobal>

// Flags of the viewer state are 16 bits wide:
// true is all bits set, false is 0.
using Bool16 = qint16;
inline constexpr Bool16 kTrue16 = -1;
inline constexpr Bool16 kFalse16 = 0;

inline constexpr Bool16 toBool16(bool value)
{
    return value ? kTrue16 : kFalse16;
}
