// What an NT handle of a shared texture holds: the texture's image (so its allocation stays
// charged until the handle is closed), its adapter, and what another API needs to open it.
#pragma once
#include <memory>

#include <dxgiformat.h>

#include "gpu/texture.h"
#include "kernel/handles.h"
#include "machine/machine.h"

namespace winsim::dxgi {

struct SharedResource final : kernel::Object {
    SharedResource(std::shared_ptr<gpu::Image> i, std::shared_ptr<AdapterState> a, DXGI_FORMAT f, bool rt)
        : image(std::move(i)), adapter(std::move(a)), format(f), renderTarget(rt) {}
    const std::shared_ptr<gpu::Image> image;  // its size and mip levels are the texture's
    const std::shared_ptr<AdapterState> adapter;
    const DXGI_FORMAT format;  // as the creating API named it
    const bool renderTarget;   // created with render-target binding
};

}  // namespace winsim::dxgi
