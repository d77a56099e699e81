// Windows.Graphics.DirectX: pixel formats, valued as DXGI_FORMAT (the ones winsim's capture uses).
#pragma once
#include "windows.foundation.h"

namespace ABI::Windows::Graphics::DirectX {
enum DirectXPixelFormat : int {
    DirectXPixelFormat_Unknown = 0,
    DirectXPixelFormat_R16G16B16A16Float = 10,
    DirectXPixelFormat_R10G10B10A2UIntNormalized = 24,
    DirectXPixelFormat_R8G8B8A8UIntNormalized = 28,
    DirectXPixelFormat_B8G8R8A8UIntNormalized = 87,
    DirectXPixelFormat_B8G8R8X8UIntNormalized = 88,
};
}  // namespace ABI::Windows::Graphics::DirectX
