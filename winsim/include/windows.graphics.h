// Windows.Graphics's value types.
#pragma once
#include "windows.foundation.h"

namespace ABI::Windows::Graphics {
struct SizeInt32 {
    INT32 Width;
    INT32 Height;
};
struct PointInt32 {
    INT32 X;
    INT32 Y;
};
struct RectInt32 {
    INT32 X;
    INT32 Y;
    INT32 Width;
    INT32 Height;
};
}  // namespace ABI::Windows::Graphics
