// What an NT handle of a shared texture holds: the texture's image (so its allocation stays
// charged until the handle is closed), its adapter and its description.
#pragma once
#include <memory>

#include <d3d11.h>

#include "gpu/texture.h"
#include "kernel/handles.h"
#include "machine/machine.h"

namespace winsim::gpu {

struct SharedTexture final : kernel::Object {
    SharedTexture(std::shared_ptr<Image> i, std::shared_ptr<AdapterState> a, const D3D11_TEXTURE2D_DESC& d)
        : image(std::move(i)), adapter(std::move(a)), desc(d) {}
    const std::shared_ptr<Image> image;
    const std::shared_ptr<AdapterState> adapter;
    const D3D11_TEXTURE2D_DESC desc;
};

}  // namespace winsim::gpu
