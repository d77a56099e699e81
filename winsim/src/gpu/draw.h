// One draw call as the GPU queue runs it: vertices generated from the vertex index (no vertex
// buffers), a software rasterizer, a pixel shader run over spans, blending into mip 0 of the
// render target.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include <d3dcommon.h>

#include "gpu/texture.h"

namespace winsim::shader {
class Program;
}

namespace winsim::gpu {

struct Viewport {
    float x = 0, y = 0, width = 0, height = 0, minDepth = 0, maxDepth = 1;
};

struct SamplerDesc {
    bool linear = false;  // point sampling otherwise; addressing is always clamp
    float maxLod = 0.0f;
};

struct BlendDesc {
    bool enable = false;
    int srcBlend = 2, destBlend = 1, blendOp = 1;            // D3D11_BLEND / D3D11_BLEND_OP values
    int srcBlendAlpha = 2, destBlendAlpha = 1, blendOpAlpha = 1;
    uint8_t writeMask = 0xF;
};

struct ShaderResource {
    std::shared_ptr<Image> image;  // null: nothing bound
    uint32_t mostDetailedMip = 0;
};

struct DrawCall {
    std::shared_ptr<const shader::Program> vertexShader;
    std::shared_ptr<const shader::Program> pixelShader;
    // Constant buffer slot b0 of each stage, as it was when the draw was recorded.
    std::vector<uint8_t> vertexConstants;
    std::vector<uint8_t> pixelConstants;
    std::array<ShaderResource, 2> resources;  // t0, t1
    std::array<SamplerDesc, 2> samplers;      // s0, s1
    std::shared_ptr<Image> renderTarget;      // drawn into mip 0
    Viewport viewport;
    BlendDesc blend;
    D3D_PRIMITIVE_TOPOLOGY topology = D3D_PRIMITIVE_TOPOLOGY_TRIANGLELIST;
    uint32_t vertexCount = 0;
    uint32_t startVertex = 0;
};

// Runs the draw; false when it could not be run (missing shader or target), which the debug
// layer reports.
bool draw(const DrawCall& call);

}  // namespace winsim::gpu
