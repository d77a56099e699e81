// Reads a ring slot back as its consumer does: through a Direct3D 12 command list into a
// read-back buffer, as 8-bit RGBA rows.
#pragma once
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "readback.h"

inline std::vector<uint8_t> readRgba8(ID3D12Device* device, ID3D12Resource* resource, UINT mip = 0) {
    velda::readback::Pixels pixels;
    EXPECT_EQ(velda::readback::readMip(device, resource, mip, pixels), S_OK);
    for (size_t i = 0; i + 3 < pixels.bytes.size(); i += 4) std::swap(pixels.bytes[i], pixels.bytes[i + 2]);  // BGRA
    return std::move(pixels.bytes);
}
