// libFuzzer target: arbitrary shape descriptions and bytes through the pointer-shape conversion.
#include <cstring>
#include <vector>

#include "cursor_shape.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DXGI_OUTDUPL_POINTER_SHAPE_INFO info{};
    if (size < sizeof info) return 0;
    std::memcpy(&info, data, sizeof info);
    // The shape bytes get a heap block of their own, exactly as long as they are.
    std::vector<uint8_t> bytes(data + sizeof info, data + size);
    std::vector<uint32_t> image;
    uint32_t height = 0;
    if (velda::convertPointerShape(info, bytes.data(), bytes.size(), image, height) &&
        image.size() != size_t{info.Width} * height) {
        __builtin_trap();
    }
    return 0;
}
