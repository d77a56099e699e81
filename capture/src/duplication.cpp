// Acquiring the desktop duplication of the source's output, and keeping the ring in step with the
// mode that the duplication delivers.
#include <cstdio>

#include "dpi_scope.h"
#include "impl.h"

namespace velda {
namespace {

using Impl = DuplicationSource::Impl;

// The desktop formats the capture takes as they are: scRGB HDR, 8-bit BGRA, 10-bit SDR.
constexpr DXGI_FORMAT kFormats[] = {DXGI_FORMAT_R16G16B16A16_FLOAT, DXGI_FORMAT_B8G8R8A8_UNORM,
                                    DXGI_FORMAT_R10G10B10A2_UNORM};


// One line per streak of failures, gone or refused alike, until a duplication succeeds again.
bool reportGone(Impl& impl) {
    if (!impl.failureReported)
        std::fprintf(stderr, "capture: output %d gone — waiting for replug\n", static_cast<int>(impl.outputIndex));
    impl.failureReported = true;
    return false;
}

bool reportRefusal(Impl& impl, HRESULT hr) {
    if (!impl.failureReported)
        std::fprintf(stderr, "capture: DuplicateOutput failed (0x%08lx) — retrying%s\n", hex(hr),
                     hr == DXGI_ERROR_UNSUPPORTED
                         ? " (persistent UNSUPPORTED = output on another GPU? hybrid graphics is not supported in v1)"
                         : "");
    impl.failureReported = true;
    return false;
}

// The format-aware duplication where the output offers it, else (or when it fails) the plain one.
HRESULT duplicate(Impl& impl) {
    const PerMonitorDpiScope aware;  // also on start's thread, which is the caller's
    ComPtr<IDXGIOutput5> output5;
    if (SUCCEEDED(impl.output.As(&output5))) {
        const HRESULT hr = output5->DuplicateOutput1(impl.device.Get(), 0, 3, kFormats, impl.duplication.GetAddressOf());
        if (SUCCEEDED(hr)) return hr;
        impl.duplication.Reset();
    }
    return impl.output->DuplicateOutput(impl.device.Get(), impl.duplication.GetAddressOf());
}

void warnRotation(Impl& impl, DXGI_MODE_ROTATION rotation) {
    if (static_cast<unsigned>(rotation) <= 1 || impl.rotationWarned) return;
    std::fprintf(stderr, "capture: rotated output (%d) unsupported in v1 — image will be unrotated\n",
                 static_cast<int>(rotation));
    impl.rotationWarned = true;
}

// True when the ring in place was built for `mode`. A ring whose rebuild failed counts as built for
// no mode, so that the next acquisition rebuilds it before capture resumes.
bool ringMatches(Impl& impl, const DXGI_MODE_DESC& mode) {
    {
        std::lock_guard lock(impl.stateMutex);
        if (!impl.ringComplete) return false;
    }
    return mode.Width == impl.width && mode.Height == impl.height && mode.Format == impl.desktopFormat;
}

void printModeChange(const Impl& impl, const DXGI_MODE_DESC& mode) {
    std::printf("capture: output %d mode change %ux%u fmt %d -> %ux%u fmt %d — ring rebuilt\n",
                static_cast<int>(impl.outputIndex), static_cast<unsigned>(impl.width.load()),
                static_cast<unsigned>(impl.height.load()), static_cast<int>(impl.desktopFormat),
                static_cast<unsigned>(mode.Width), static_cast<unsigned>(mode.Height), static_cast<int>(mode.Format));
}

// The notice of the conversion a rebuilt ring uses, if any; an HDR desktop first learns its
// monitor's SDR white level.
void noticeConversion(Impl& impl) {
    if (!impl.needsConvert) return;
    if (!impl.isHdr) {
        std::printf("capture: output %d desktop format %d — passthrough convert (10-bit SDR assumed gamma-encoded)\n",
                    static_cast<int>(impl.outputIndex), static_cast<int>(impl.desktopFormat));
        return;
    }
    DXGI_OUTPUT_DESC desc{};
    impl.output->GetDesc(&desc);
    impl.sdrWhiteScale = querySdrWhiteScale(desc.Monitor);
    const float nits = impl.sdrWhiteScale * 80.0f;
    std::printf("capture: output %d HDR (scRGB FP16) — tone-mapping to sRGB, SDR white %.0f nits\n",
                static_cast<int>(impl.outputIndex), static_cast<double>(nits));
}

}  // namespace

bool DuplicationSource::Impl::acquireDuplication(bool initial) {
    duplication.Reset();
    ComPtr<IDXGIOutput> enumerated;
    if (FAILED(adapter->EnumOutputs(static_cast<UINT>(outputIndex), enumerated.GetAddressOf()))) return reportGone(*this);
    output.Reset();
    if (FAILED(enumerated.As(&output))) return reportGone(*this);
    DXGI_OUTPUT_DESC outputDesc{};
    if (SUCCEEDED(output->GetDesc(&outputDesc))) desktopRect = outputDesc.DesktopCoordinates;
    if (const HRESULT hr = duplicate(*this); FAILED(hr)) {
        duplication.Reset();
        return reportRefusal(*this, hr);
    }
    failureReported = false;
    nameDuplication();
    DXGI_OUTDUPL_DESC desc{};
    duplication->GetDesc(&desc);
    warnRotation(*this, desc.Rotation);
    const DXGI_MODE_DESC& mode = desc.ModeDesc;
    if (!initial) {
        if (ringMatches(*this, mode)) return true;
        if (mode.Width != width || mode.Height != height || mode.Format != desktopFormat) printModeChange(*this, mode);
    }
    width = mode.Width;
    height = mode.Height;
    desktopFormat = mode.Format;
    if (!rebuildRing()) {
        duplication.Reset();  // no capture over an incomplete ring: the next acquisition rebuilds it
        return false;
    }
    noticeConversion(*this);
    std::lock_guard lock(stateMutex);
    latestIndex = -1;
    ++generation;
    return true;
}

}  // namespace velda
