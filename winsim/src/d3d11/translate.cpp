#include "d3d11/translate.h"

namespace winsim::d3d11 {
namespace {

// The dual-source factors have no second source in the back-end: they weight as one, as an
// unknown factor does.
gpu::BlendFactor factor(D3D11_BLEND blend) {
    using F = gpu::BlendFactor;
    switch (blend) {
        case D3D11_BLEND_ZERO: return F::Zero;
        case D3D11_BLEND_SRC_COLOR: return F::SrcColor;
        case D3D11_BLEND_INV_SRC_COLOR: return F::InvSrcColor;
        case D3D11_BLEND_SRC_ALPHA: return F::SrcAlpha;
        case D3D11_BLEND_INV_SRC_ALPHA: return F::InvSrcAlpha;
        case D3D11_BLEND_DEST_ALPHA: return F::DestAlpha;
        case D3D11_BLEND_INV_DEST_ALPHA: return F::InvDestAlpha;
        case D3D11_BLEND_DEST_COLOR: return F::DestColor;
        case D3D11_BLEND_INV_DEST_COLOR: return F::InvDestColor;
        case D3D11_BLEND_SRC_ALPHA_SAT: return F::SrcAlphaSaturate;
        case D3D11_BLEND_BLEND_FACTOR: return F::Constant;
        case D3D11_BLEND_INV_BLEND_FACTOR: return F::InvConstant;
        default: return F::One;
    }
}

gpu::BlendOp op(D3D11_BLEND_OP op) {
    switch (op) {
        case D3D11_BLEND_OP_SUBTRACT: return gpu::BlendOp::Subtract;
        case D3D11_BLEND_OP_REV_SUBTRACT: return gpu::BlendOp::RevSubtract;
        case D3D11_BLEND_OP_MIN: return gpu::BlendOp::Min;
        case D3D11_BLEND_OP_MAX: return gpu::BlendOp::Max;
        default: return gpu::BlendOp::Add;
    }
}

}  // namespace

gpu::BlendDesc translate(const D3D11_RENDER_TARGET_BLEND_DESC& rt) {
    return gpu::BlendDesc{rt.BlendEnable != FALSE,   factor(rt.SrcBlend),      factor(rt.DestBlend),
                          op(rt.BlendOp),            factor(rt.SrcBlendAlpha), factor(rt.DestBlendAlpha),
                          op(rt.BlendOpAlpha),       rt.RenderTargetWriteMask};
}

gpu::SamplerDesc translate(const D3D11_SAMPLER_DESC& sampler) {
    // A filter's bits say which of minification (0x10), magnification (0x4) and mip selection
    // (0x1) are linear; either of the first two makes the back-end filter linearly within a mip.
    const bool linear = (sampler.Filter & D3D11_FILTER_MIN_MAG_LINEAR_MIP_POINT) != 0;
    return gpu::SamplerDesc{linear, sampler.MaxLOD};
}

gpu::Topology translate(D3D11_PRIMITIVE_TOPOLOGY topology) {
    switch (topology) {
        case D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST: return gpu::Topology::TriangleList;
        case D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP: return gpu::Topology::TriangleStrip;
        default: return gpu::Topology::Unsupported;
    }
}

}  // namespace winsim::d3d11
