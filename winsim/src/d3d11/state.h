// What the immediate context of a Direct3D 11 device holds between calls: the bound pipeline,
// kept as back-end values (images, programs, constant bytes), and the work recorded since the
// last Flush. A binding holds what it names alive, as the runtime's references do.
#pragma once
#include <array>
#include <memory>
#include <vector>

#include <d3d11.h>

#include "gpu/draw.h"
#include "gpu/queue.h"

namespace winsim::d3d11 {

// A constant buffer's bytes live on the CPU side: a draw copies them when it is recorded, so a
// later Map(WRITE_DISCARD) never changes what queued draws see.
struct BufferData {
    D3D11_BUFFER_DESC desc{};
    std::vector<uint8_t> bytes;
    std::shared_ptr<gpu::Allocation> allocation;
    bool mapped = false;
};

struct ContextState {
    std::shared_ptr<const shader::Program> vertexShader;
    std::shared_ptr<const shader::Program> pixelShader;
    std::shared_ptr<BufferData> vertexConstants;
    std::shared_ptr<BufferData> pixelConstants;
    std::array<gpu::ShaderResource, 2> resources;
    std::array<gpu::SamplerDesc, 2> samplers;
    std::shared_ptr<gpu::Image> renderTarget;
    gpu::Viewport viewport;
    gpu::BlendDesc blend;
    D3D_PRIMITIVE_TOPOLOGY topology = D3D_PRIMITIVE_TOPOLOGY_UNDEFINED;
    std::vector<gpu::Command> recorded;
};

}  // namespace winsim::d3d11
