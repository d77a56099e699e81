// The HLSL programs the capture source draws with, and their compilation.
#pragma once
#include <d3dcommon.h>
#include <wrl/client.h>

#include <cstddef>

namespace velda {

// The conversion pass: "vsmain" (vs_5_0) draws one full-screen triangle, "psmain" (ps_5_0)
// scales HDR scRGB to SDR white, clamps and sRGB-encodes it, or passes other formats through;
// constant p: (1 / SDR white scale, HDR flag, quarter turns that stand the image upright, 0).
extern const char kConvertShader[];
extern const size_t kConvertShaderLength;

// The cursor pass: "vsmain" (vs_5_0) makes a quad from the four vertex indices of a strip at the
// rectangle in constant buffer b0 (NDC: left, top, right, bottom), "psmain" (ps_5_0) samples the
// cursor image unchanged.
extern const char kCursorShader[];
extern const size_t kCursorShaderLength;

// Compiles entry point `entry` of an HLSL text for `target` into `blob`. A failure prints
// "capture shader <entry>: <compiler messages>" on standard error (unless `quiet`) and returns false.
bool compileShader(const char* source, size_t length, const char* entry, const char* target,
                   Microsoft::WRL::ComPtr<ID3DBlob>& blob, bool quiet = false);

}  // namespace velda
