// Direct3D 11 state in the back-end's terms: the one place where blend, sampler and topology
// values of the API become the GPU's.
#pragma once
#include <d3d11.h>

#include "gpu/draw.h"

namespace winsim::d3d11 {

gpu::BlendDesc translate(const D3D11_RENDER_TARGET_BLEND_DESC& blend);
gpu::SamplerDesc translate(const D3D11_SAMPLER_DESC& sampler);
gpu::Topology translate(D3D11_PRIMITIVE_TOPOLOGY topology);

}  // namespace winsim::d3d11
