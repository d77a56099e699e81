// Reading a texture back as a Direct3D 12 application does: a copy through a command list into
// a readback buffer, a fence to wait on, and a map of the buffer.
#pragma once
#include <windows.h>
#include <d3d12.h>

#include <cstdint>
#include <vector>

namespace velda::readback {

// One mip of a texture, rows tightly packed, in the texture's format (4 bytes per pixel).
struct Pixels {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> bytes;
};

// Copies mip `mip` of `texture`, a 2D texture of 4-byte pixels on `device` that may be used as a
// copy source from the common state (a shared texture), into `out`. Waits up to `timeoutMs` for
// the GPU. Returns the first failing call's HRESULT, E_INVALIDARG for a mip the texture lacks or
// a format that is not 4 bytes a pixel, or HRESULT_FROM_WIN32(WAIT_TIMEOUT) after the time-out.
HRESULT readMip(ID3D12Device* device, ID3D12Resource* texture, UINT mip, Pixels& out, DWORD timeoutMs = 10000);

}  // namespace velda::readback
