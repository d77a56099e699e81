#include "shaders.h"

#include <d3dcompiler.h>

#include <cstdio>
#include <cstring>

namespace velda {

const char kConvertShader[] = R"(cbuffer C : register(b0) { float4 p; };
Texture2D tex : register(t0);
SamplerState smp : register(s0);

struct VSOut {
    float4 pos : SV_Position;
    float2 uv : TEXCOORD0;
};

VSOut vsmain(uint id : SV_VertexID) {
    VSOut o;
    float2 uv = float2((id << 1) & 2, id & 2);
    o.pos = float4(uv.x * 2 - 1, uv.y * -2 + 1, 0, 1);
    o.uv = uv;
    return o;
}

float enc(float c) {
    return c <= 0.0031308 ? 12.92 * c : 1.055 * pow(c, 1.0 / 2.4) - 0.055;
}

// Where an upright desktop point lies in the image of a monitor rotated by p.z quarter turns
// (DXGI_MODE_ROTATION_ROTATE90, 180, 270 for 1, 2, 3).
float2 imageUv(float2 uv) {
    float2 q = uv;
    if (p.z > 0.5) q = float2(uv.y, 1 - uv.x);
    if (p.z > 1.5) q = float2(1 - uv.x, 1 - uv.y);
    if (p.z > 2.5) q = float2(1 - uv.y, uv.x);
    return q;
}

float4 convert(float2 uv) {
    float3 c = tex.Sample(smp, uv).rgb;
    if (p.y > 0.5) {
        c = saturate(c * p.x);
        c = float3(enc(c.r), enc(c.g), enc(c.b));
    }
    return float4(c, 1);
}

// Images in the display mode's own orientation; turned ones use psturned, so that the others
// pay nothing for the turn.
float4 psmain(VSOut i) : SV_Target {
    return convert(i.uv);
}

float4 psturned(VSOut i) : SV_Target {
    return convert(imageUv(i.uv));
}
)";
const size_t kConvertShaderLength = sizeof kConvertShader - 1;

const char kCursorShader[] = R"(cbuffer C : register(b0) { float4 rect; };
Texture2D tex : register(t0);
SamplerState smp : register(s0);

struct VSOut {
    float4 pos : SV_Position;
    float2 uv : TEXCOORD0;
};

VSOut vsmain(uint id : SV_VertexID) {
    VSOut o;
    float2 c = float2(id & 1, id >> 1);
    o.pos = float4(lerp(rect.x, rect.z, c.x), lerp(rect.y, rect.w, c.y), 0, 1);
    o.uv = c;
    return o;
}

float4 psmain(VSOut i) : SV_Target {
    return tex.Sample(smp, i.uv);
}
)";
const size_t kCursorShaderLength = sizeof kCursorShader - 1;

bool compileShader(const char* source, size_t length, const char* entry, const char* target,
                   Microsoft::WRL::ComPtr<ID3DBlob>& blob, bool quiet) {
    blob.Reset();
    Microsoft::WRL::ComPtr<ID3DBlob> errors;
    const HRESULT hr = D3DCompile(source, length, nullptr, nullptr, nullptr, entry, target, 0, 0, blob.GetAddressOf(),
                                  errors.GetAddressOf());
    if (SUCCEEDED(hr)) return true;
    if (quiet) return false;
    if (!errors) {
        std::fprintf(stderr, "capture shader %s: %s\n", entry, "compile failed");
        return false;
    }
    // The text is read up to its terminating zero, but never past the end of the blob.
    const char* text = static_cast<const char*>(errors->GetBufferPointer());
    const size_t size = strnlen(text, errors->GetBufferSize());
    std::fprintf(stderr, "capture shader %s: %.*s\n", entry, static_cast<int>(size), text);
    return false;
}

}  // namespace velda
