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

// The format-aware duplication where the output offers it, else (or when it fails) the plain one;
// `formatAware` tells which made the duplication.
HRESULT duplicate(Impl& impl, bool& formatAware) {
    const PerMonitorDpiScope aware;  // also on start's thread, which is the caller's
    ComPtr<IDXGIOutput5> output5;
    formatAware = false;
    if (SUCCEEDED(impl.output.As(&output5))) {
        const HRESULT hr = output5->DuplicateOutput1(impl.device.Get(), 0, 3, kFormats, impl.duplication.GetAddressOf());
        formatAware = SUCCEEDED(hr);
        if (formatAware) return hr;
        impl.duplication.Reset();
    }
    return impl.output->DuplicateOutput(impl.device.Get(), impl.duplication.GetAddressOf());
}

DesktopMode modeOf(const DXGI_MODE_DESC& mode) { return {mode.Width, mode.Height, mode.Format}; }

// The images the ring takes, in the display mode's orientation.
DesktopMode ringMode(const Impl& impl) { return {impl.imageWidth(), impl.imageHeight(), impl.desktopFormat}; }

bool sameDuplication(const DeliveredMode& a, const DeliveredMode& b) {
    return a.reported == b.reported && a.formatAware == b.formatAware;
}

// At most this many modes are remembered; the oldest goes first.
constexpr size_t kKnownModes = 8;

void warnRotation(Impl& impl, DXGI_MODE_ROTATION rotation) {
    if (static_cast<unsigned>(rotation) <= 1 || impl.rotationWarned || impl.rotationCorrected) return;
    std::fprintf(stderr, "capture: rotated output (%d) unsupported in v1 — image will be unrotated\n",
                 static_cast<int>(rotation));
    impl.rotationWarned = true;
}

// True when the ring in place was built for `mode` turned by `turns`. A ring whose rebuild failed
// counts as built for no mode, so that the next acquisition rebuilds it before capture resumes.
bool ringMatches(Impl& impl, const DesktopMode& mode, int32_t turns) {
    {
        std::lock_guard lock(impl.stateMutex);
        if (!impl.ringComplete) return false;
    }
    return mode == ringMode(impl) && turns == impl.quarterTurns;
}

void printModeChange(const Impl& impl, const DesktopMode& mode) {
    std::printf("capture: output %d mode change %ux%u fmt %d -> %ux%u fmt %d — ring rebuilt\n",
                static_cast<int>(impl.outputIndex), static_cast<unsigned>(impl.imageWidth()),
                static_cast<unsigned>(impl.imageHeight()), static_cast<int>(impl.desktopFormat),
                static_cast<unsigned>(mode.width), static_cast<unsigned>(mode.height), static_cast<int>(mode.format));
}

// A duplication that reports an empty mode (a monitor waking from sleep) is retried as a refusal.
bool reportEmptyMode(Impl& impl, const DesktopMode& mode) {
    if (!impl.failureReported)
        std::fprintf(stderr, "capture: output %d reports an empty mode %ux%u — retrying\n",
                     static_cast<int>(impl.outputIndex), static_cast<unsigned>(mode.width),
                     static_cast<unsigned>(mode.height));
    impl.failureReported = true;
    return false;
}

// The time between two refreshes of the mode; 60 Hz where the mode reports no rate.
int64_t refreshInterval(const DXGI_RATIONAL& rate) {
    if (rate.Numerator == 0 || rate.Denominator == 0) return 1000000000 / 60;
    return static_cast<int64_t>(1000000000.0 * rate.Denominator / rate.Numerator);
}

// The format a mode's images are expected in after one came in `image`: 8-bit BGRA is the SDR
// picture Windows hands out now and then on any desktop (above all when only the pointer moved)
// and says nothing of the mode; any other format is the desktop's own.
DXGI_FORMAT expectedAfter(const Impl& impl, DXGI_FORMAT image) {
    return image == DXGI_FORMAT_B8G8R8A8_UNORM ? impl.desktopFormat : image;
}

}  // namespace

// An 8-bit BGRA image passes through the conversion pass only to be turned upright: no notice.
void DuplicationSource::Impl::noticeConversion(DXGI_FORMAT format) {
    if (format == DXGI_FORMAT_B8G8R8A8_UNORM) return;
    if (format != DXGI_FORMAT_R16G16B16A16_FLOAT) {
        std::printf("capture: output %d desktop format %d — passthrough convert (10-bit SDR assumed gamma-encoded)\n",
                    static_cast<int>(outputIndex), static_cast<int>(format));
        return;
    }
    // An FP16 desktop in an SDR colour space (Advanced Color on an SDR display) has its white at
    // scRGB 1.0: the SDR white level is documented for HDR displays only.
    isHdr = outputInPq(true);  // without a colour space, FP16 is taken for HDR
    sdrWhiteScale = 1.0f;
    if (isHdr) {
        DXGI_OUTPUT_DESC desc{};
        output->GetDesc(&desc);
        sdrWhiteScale = querySdrWhiteScale(desc.Monitor);
    }
    const float nits = sdrWhiteScale * 80.0f;
    std::printf("capture: output %d HDR (scRGB FP16) — tone-mapping to sRGB, SDR white %.0f nits\n",
                static_cast<int>(outputIndex), static_cast<double>(nits));
}

// The output's colour space tells an HDR desktop (PQ) where IDXGIOutput6 gives it; `unknown` where
// it does not.
bool DuplicationSource::Impl::outputInPq(bool unknown) const {
    ComPtr<IDXGIOutput6> output6;
    DXGI_OUTPUT_DESC1 desc{};
    if (!output || FAILED(output.As(&output6)) || FAILED(output6->GetDesc1(&desc))) return unknown;
    return desc.ColorSpace == DXGI_COLOR_SPACE_RGB_FULL_G2084_NONE_P2020;
}

void DuplicationSource::Impl::dropDuplication() {
    duplication.Reset();
    pointerReported = false;
    pointerPending = false;
    stagedFormat = DXGI_FORMAT_UNKNOWN;
}

bool DuplicationSource::Impl::acquireDuplication(bool initial) {
    dropDuplication();
    if (!refreshAdapter()) return false;
    ComPtr<IDXGIOutput> enumerated;
    if (FAILED(adapter->EnumOutputs(static_cast<UINT>(outputIndex), enumerated.GetAddressOf()))) return reportGone(*this);
    output.Reset();
    if (FAILED(enumerated.As(&output))) return reportGone(*this);
    DXGI_OUTPUT_DESC outputDesc{};
    if (SUCCEEDED(output->GetDesc(&outputDesc))) desktopRect = outputDesc.DesktopCoordinates;
    bool formatAware = false;
    if (const HRESULT hr = duplicate(*this, formatAware); FAILED(hr)) {
        duplication.Reset();
        return reportRefusal(*this, hr);
    }
    DXGI_OUTDUPL_DESC desc{};
    duplication->GetDesc(&desc);
    if (desc.ModeDesc.Width == 0 || desc.ModeDesc.Height == 0) {
        duplication.Reset();  // never a ring of no pixels
        return reportEmptyMode(*this, modeOf(desc.ModeDesc));
    }
    failureReported = false;
    nameDuplication();
    refreshIntervalNs = refreshInterval(desc.ModeDesc.RefreshRate);
    warnRotation(*this, desc.Rotation);
    rotation = desc.Rotation;
    duplicated = DeliveredMode{modeOf(desc.ModeDesc), formatAware, {}};
    imagesChecked = false;
    const DesktopMode mode = expectedImages();
    const int32_t turns = wantedTurns();
    if (!initial) {
        if (ringMatches(*this, mode, turns)) return true;
        if (mode != ringMode(*this)) printModeChange(*this, mode);
    }
    if (!adoptMode(mode, turns)) {
        duplication.Reset();  // no capture over an incomplete ring: the next acquisition rebuilds it
        return false;
    }
    return true;
}

void DuplicationSource::Impl::setGeometry(const DesktopMode& mode, int32_t turns) {
    quarterTurns = turns;
    width = turns % 2 ? mode.height : mode.width;
    height = turns % 2 ? mode.width : mode.height;
    desktopFormat = mode.format;
}

// With rotation correction on, the images of a rotated monitor are turned back upright.
int32_t DuplicationSource::Impl::wantedTurns() const {
    if (!rotationCorrected) return 0;
    switch (rotation) {
    case DXGI_MODE_ROTATION_ROTATE90: return 1;
    case DXGI_MODE_ROTATION_ROTATE180: return 2;
    case DXGI_MODE_ROTATION_ROTATE270: return 3;
    default: return 0;
    }
}

bool DuplicationSource::Impl::adoptMode(const DesktopMode& mode, int32_t turns) {
    setGeometry(mode, turns);
    return buildGeneration();
}

// Until its images have shown otherwise, a duplication is taken to deliver the size it reports in
// the format its call documents, whatever scan-out format the mode may name: the plain call 8-bit
// BGRA, the format-aware one the desktop's own (FP16 on an HDR desktop, which is composed so).
DesktopMode DuplicationSource::Impl::expectedImages() const {
    for (const DeliveredMode& known : deliveredModes)
        if (sameDuplication(known, duplicated)) return known.images;
    DesktopMode mode = duplicated.reported;
    if (!duplicated.formatAware) mode.format = DXGI_FORMAT_B8G8R8A8_UNORM;
    else if (mode.format != DXGI_FORMAT_R16G16B16A16_FLOAT && outputInPq(false)) mode.format = DXGI_FORMAT_R16G16B16A16_FLOAT;
    return mode;
}

void DuplicationSource::Impl::learnDelivered(const DesktopMode& images) {
    imagesChecked = true;
    duplicated.images = images;
    for (DeliveredMode& known : deliveredModes) {
        if (!sameDuplication(known, duplicated)) continue;
        known.images = images;
        return;
    }
    if (deliveredModes.size() == kKnownModes) deliveredModes.erase(deliveredModes.begin());
    deliveredModes.push_back(duplicated);
}

// The format of an image alone changes no mode: each image goes the way its format needs, and a
// format other than 8-bit BGRA becomes what the mode's images are expected in.
bool DuplicationSource::Impl::imageFitsRing(ID3D11Texture2D* frame) {
    D3D11_TEXTURE2D_DESC desc{};
    frame->GetDesc(&desc);
    const DesktopMode images{desc.Width, desc.Height, expectedAfter(*this, desc.Format)};
    const int32_t turns = wantedTurns();  // rotation correction may have been turned on or off
    if (images.width == imageWidth() && images.height == imageHeight() && turns == quarterTurns) {
        if (imagesChecked && images.format == desktopFormat) return true;
        learnDelivered(images);
        desktopFormat = images.format;
        needsConvert = convertsFormat(desktopFormat);
        return true;
    }
    // Never copied across sizes: the ring follows the image first, and the image, held meanwhile,
    // then goes into it, so that not even a still desktop's only frame is lost.
    learnDelivered(images);
    if (images != ringMode(*this)) printModeChange(*this, images);
    if (adoptMode(images, turns)) return true;
    duplication->ReleaseFrame();
    duplication.Reset();  // re-acquired over a ring rebuilt for what it delivers
    setLive(false);
    return false;
}

}  // namespace velda
