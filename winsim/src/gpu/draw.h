// One draw call as the GPU queue runs it: vertices generated from the vertex index (no vertex
// buffers), a software rasterizer, a pixel shader run over spans, blending into mip 0 of the
// render target.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

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

// What a blend weights the source and the target with. The constant blend factor is left at
// zero by every draw.
enum class BlendFactor : uint8_t {
    Zero,
    One,
    SrcColor,
    InvSrcColor,
    SrcAlpha,
    InvSrcAlpha,
    DestAlpha,
    InvDestAlpha,
    DestColor,
    InvDestColor,
    SrcAlphaSaturate,
    Constant,
    InvConstant,
};
enum class BlendOp : uint8_t { Add, Subtract, RevSubtract, Min, Max };

struct BlendDesc {
    bool enable = false;
    BlendFactor srcBlend = BlendFactor::One, destBlend = BlendFactor::Zero;
    BlendOp blendOp = BlendOp::Add;
    BlendFactor srcBlendAlpha = BlendFactor::One, destBlendAlpha = BlendFactor::Zero;
    BlendOp blendOpAlpha = BlendOp::Add;
    uint8_t writeMask = 0xF;
};

// How vertices make triangles; anything else draws nothing and is reported.
enum class Topology : uint8_t { Unsupported, TriangleList, TriangleStrip };

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
    Topology topology = Topology::TriangleList;
    uint32_t vertexCount = 0;
    uint32_t startVertex = 0;
};

// Runs the draw; false when it could not be run (missing shader or target), which the debug
// layer reports.
bool draw(const DrawCall& call);

}  // namespace winsim::gpu
