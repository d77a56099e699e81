// The private records of the capture sources and the operations that work on them.
#pragma once
#include <windows.h>
#include <d3d11_4.h>
#include <d3d12.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "velda/duplication_source.h"

namespace velda {

using Microsoft::WRL::ComPtr;

// Closes a kernel handle when its owner goes.
struct HandleCloser {
    void operator()(HANDLE handle) const noexcept {
        if (handle) CloseHandle(handle);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

constexpr int kRingSize = 3;

// A desktop mode: its size and pixel format.
struct DesktopMode {
    uint32_t width = 0;
    uint32_t height = 0;
    DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN;
    bool operator==(const DesktopMode&) const = default;
};

// What one mode's duplication was seen to deliver: a duplication's description (ModeDesc) may
// name the display's own mode rather than the images' format, so the images themselves decide.
struct DeliveredMode {
    DesktopMode reported;     // the duplication's ModeDesc
    bool formatAware = false;  // made by DuplicateOutput1 (the plain call delivers 8-bit BGRA)
    DesktopMode images;       // the acquired images' description
};

// The pass's input for the images of one format: scRGB FP16, 10-bit, or 8-bit BGRA that is turned
// upright. Made when an image first needs it, kept until the ring is rebuilt or the source stops.
struct Intermediate {
    DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN;
    ComPtr<ID3D11Texture2D> texture;
    ComPtr<ID3D11ShaderResourceView> view;
};

// An HRESULT as printf's %08lx prints it.
inline unsigned long hex(HRESULT hr) { return static_cast<unsigned long>(static_cast<uint32_t>(hr)); }

// What every source shares: the private device and its fence, the shader programs, the ring and
// its intermediates, the conversion pass, the cursor overlay, and the publication with its waits.
// A source's capture thread fills the next slot (stageImage, finishFrame) and publishes it.
struct SourceCore {
    SourceCore() = default;
    virtual ~SourceCore() = default;
    SourceCore(const SourceCore&) = delete;
    SourceCore& operator=(const SourceCore&) = delete;

    ID3D12Device* d3d12Device = nullptr;  // borrowed from the caller
    ComPtr<ID3D11Device> device;
    ComPtr<ID3D11Device5> device5;
    ComPtr<ID3D11DeviceContext> context;
    ComPtr<ID3D11DeviceContext4> context4;
    // The factory `adapter` came from: its output information is a snapshot, which a display
    // change makes stale (IsCurrent FALSE); a new one is made before the next look at the outputs.
    ComPtr<IDXGIFactory4> factory;
    ComPtr<IDXGIAdapter> adapter;
    std::array<ComPtr<ID3D11Texture2D>, kRingSize> ringTextures;
    std::array<ComPtr<ID3D11RenderTargetView>, kRingSize> ringRtvs;
    std::array<ComPtr<ID3D11ShaderResourceView>, kRingSize> ringSrvs;
    std::array<ComPtr<ID3D12Resource>, kRingSize> ringResources;
    // The resources of the last ring that handed any out through `texture`, kept alive after it
    // was replaced until a later ring's handed-out resources replace them in turn, or `stop`: a
    // consumer may still be using them until it has seen the new generation.
    std::array<ComPtr<ID3D12Resource>, kRingSize> retiredResources;
    // Ring geometry: written when the ring is built, read by consumers on their own threads.
    std::atomic<uint32_t> width{0};
    std::atomic<uint32_t> height{0};
    std::atomic<uint32_t> mipLevels{1};
    // The format the ring's images are expected in: the mode's, or what its images showed.
    // Each image still goes the way its own format needs.
    DXGI_FORMAT desktopFormat = DXGI_FORMAT_B8G8R8A8_UNORM;
    // The quarter turns (0..3) the conversion pass gives the desktop images (in the display mode's
    // orientation) to stand upright in the ring; 0 unless rotation correction is on. The images are
    // the ring's size, with width and height swapped for an odd number of turns.
    int32_t quarterTurns = 0;
    bool needsConvert = false;  // the expected images go through the conversion pass
    // FP16 images are HDR (the output's colour space is PQ), tone-mapped by the monitor's SDR
    // white level; other FP16 desktops have SDR white at scRGB 1.0.
    bool isHdr = false;
    float sdrWhiteScale = 2.5f;  // what FP16 images are divided by
    std::vector<Intermediate> intermediates;
    ComPtr<ID3D11VertexShader> convertVs;
    ComPtr<ID3D11PixelShader> convertPs;
    ComPtr<ID3D11PixelShader> convertTurnedPs;  // for images turned upright; made with the first such ring
    ComPtr<ID3D11Buffer> convertConstants;
    ComPtr<ID3D11Fence> fence;
    uint64_t fenceValue = 0;
    UniqueHandle fenceEvent;
    ComPtr<ID3D11VertexShader> cursorVs;
    ComPtr<ID3D11PixelShader> cursorPs;
    ComPtr<ID3D11Buffer> cursorConstants;
    ComPtr<ID3D11BlendState> cursorBlend;
    ComPtr<ID3D11SamplerState> sampler;
    ComPtr<ID3D11Texture2D> cursorTexture;
    ComPtr<ID3D11ShaderResourceView> cursorSrv;
    uint32_t cursorTexWidth = 0;
    uint32_t cursorTexHeight = 0;
    bool cursorVisible = false;  // the overlay is drawn (never, where the system draws the cursor)
    int32_t cursorX = 0;
    int32_t cursorY = 0;
    // 0: no cursor; latched into drawCursor at each ring build. Both are written under stateMutex,
    // so a build cannot undo a newer setting.
    std::atomic<int32_t> cursorSetting{-1};
    std::atomic<bool> drawCursor{true};
    int64_t lastPublishNs = 0;  // steady clock
    // A frame's image is staged in the next slot (or its intermediate) and waits for the rest of
    // its frame; stagedFormat is what it was staged from (unknown: nothing).
    bool pointerPending = false;
    DXGI_FORMAT stagedFormat = DXGI_FORMAT_UNKNOWN;

    mutable std::mutex stateMutex;  // guards the publication fields below, and the two ring flags
    // Notified at each publication and by stop, for waitForFrame.
    mutable std::condition_variable publicationChanged;
    // Waiters inside waitForFrame, counted so that destruction lets them leave first.
    mutable int waiters = 0;
    mutable std::condition_variable waitersGone;
    uint64_t stops = 0;       // calls of stop: a wait that began before one ends
    bool closing = false;     // the source is being destroyed
    // Set only by a rebuild that completed every slot; cleared when a rebuild starts and by stop.
    // While it is false no capture pass and no consumer touches the ring.
    bool ringComplete = false;
    // `texture` handed out a resource of the current ring since it was built.
    mutable bool ringHandedOut = false;
    int32_t latestIndex = -1;
    uint32_t generation = 0;
    uint64_t framesProduced = 0;
    uint64_t reacquireCount = 0;
    bool live = false;
    // The newest publication's update and publication times (QPC) and whether its image changed.
    int64_t updateQpc = 0;
    int64_t publishQpc = 0;
    bool desktopChanged = false;
    bool protectedContentMasked = false;

    std::atomic<double> minFrameIntervalMs{0.0};
    std::thread worker;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> paused{false};
    // The last ring build failed: the lines of the retries that follow are not printed again.
    bool ringRetrying = false;
    // A line of start-up's was printed while the private device is being re-created: the retry
    // prints nothing more until a re-creation succeeds.
    bool recreateReported = false;
    // Device removal: the private device was removed and is being replaced; the consumer's device
    // was removed, so nothing more can be published until a new start.
    bool deviceLost = false;
    bool consumerLost = false;

    // The consumer's side of FrameSource, shared by every source.
    ID3D12Resource* slotResource(int32_t slot) const;
    int32_t latestSlot(uint32_t* generation) const;
    bool latestFrameInfo(FrameInfo* info) const;
    bool waitFor(uint64_t afterSequence, uint32_t timeoutMs, FrameInfo* info) const;
    SourceState stateNow(CaptureMethod method) const;
    void setCursorDrawn(bool drawn);
    // Brings the source up on `device`; the source's start.
    virtual bool start(ID3D12Device* device) = 0;
    // Starts again on the device last started with: false when never started, true while running.
    bool resume();

    // (Re)creates the ring, its views, its Direct3D 12 resources and the conversion intermediate
    // for `width`, `height` and `desktopFormat`. True when all three slots are complete.
    bool rebuildRing();
    // Rebuilds the ring for the geometry and format set, prints the conversion notice and
    // publishes the new generation (no slot yet). False when the ring could not be built.
    bool buildGeneration();
    // Renders `source`, an image in `format`, into ring slot `slot` (FP16 tone-mapped).
    void convertToRing(int slot, ID3D11ShaderResourceView* source, DXGI_FORMAT format);
    // The intermediate for images in `format`, made (with its conversion notice) when first needed;
    // null when it cannot be made.
    Intermediate* intermediateFor(DXGI_FORMAT format);
    // Whether images in `format` go through the pass (all but unturned 8-bit BGRA).
    bool convertsFormat(DXGI_FORMAT format) const {
        return format != DXGI_FORMAT_B8G8R8A8_UNORM || quarterTurns != 0;
    }
    // Wakes every waitForFrame and waits for them to leave (destruction).
    void closeWaiters();
    // Blends the cursor texture into ring slot `slot` at (cursorX, cursorY).
    void drawCursorOverlay(int slot);
    // Queues the copy of `frame` (the part `box` gives, or all of it) into the slot, or into the
    // intermediate its format needs. False when that intermediate cannot be made.
    bool stageImage(int slot, ID3D11Texture2D* frame, const D3D11_BOX* box = nullptr);
    // Converts what was staged into the slot, draws the cursor, makes mips and waits for the GPU.
    void finishFrame(int slot);
    // Publishes slot `slot`: a frame whose desktop image changed (else only the pointer moved),
    // updated at QPC time `updated`, with protected content masked or not.
    void publish(int slot, bool imageChanged, int64_t updated, bool masked);
    void setLive(bool value);
    bool ringReady() const;

    uint32_t imageWidth() const { return quarterTurns % 2 ? height : width; }
    uint32_t imageHeight() const { return quarterTurns % 2 ? width : height; }
    // The publication as one record (stateMutex held).
    FrameInfo frameLocked() const;
    // Publication counters for tests and tools; the system itself never reads them.
    uint64_t framesProducedNow() const {
        std::lock_guard lock(stateMutex);
        return framesProduced;
    }
    uint64_t reacquireCountNow() const {
        std::lock_guard lock(stateMutex);
        return reacquireCount;
    }
    bool liveNow() const {
        std::lock_guard lock(stateMutex);
        return live;
    }

protected:
    // Prints the conversion notice for images in `format`; an FP16 one first learns whether the
    // monitor is HDR and the white level its images are converted at.
    virtual void noticeConversion(DXGI_FORMAT format) = 0;
    // Ends the capture thread: waits are woken, the thread joined.
    void endWorker();
    // Releases the ring, the programs, the pipeline objects, the fence and the private device.
    void releaseDeviceObjects();
    // Start-up's failure lines: printed, except while a re-creation after a removal already said
    // something since its last success.
    void startupFailure(const char* format, ...);
    bool startupQuiet() const { return deviceLost && recreateReported; }
    // After a compiler failure, which printed its own line unless quiet: false.
    bool shaderFailed() {
        if (deviceLost) recreateReported = true;
        return false;
    }
    // The render adapter by the consumer's LUID, on a new factory when `newFactory` (or none is held).
    enum class AdapterLookup { Found, NoFactory, NotFound };
    AdapterLookup openAdapter(ID3D12Device* caller, bool newFactory);
    // The private device on `adapter`, with its fence and event; `multithreaded` protects its
    // context for the system's threads that use the device too.
    bool createDevice(bool multithreaded = false);
    // The shader programs and pipeline objects; `turned` makes the turned pixel stage too.
    bool createPipeline(bool turned);
    // Empties the ring and the intermediates (releaseRing in ring.cpp).
    void releaseRing(bool keepHandedOut);
    // The consumer's device was removed: the ring goes and nothing more is published.
    bool consumerRemoved();
    // No slot is published any more and the source is not live (stateMutex not held).
    void withdrawPublication();
    bool recreateCursorTexture(uint32_t w, uint32_t h);
    // Debug names for what each step created (names.cpp).
    void nameDeviceObjects();
    void nameRing();
    void nameCursorImage();

private:
    bool buildRing();
    Intermediate* makeIntermediate(DXGI_FORMAT format);
    bool createTurnedProgram();
    bool buildSlot(int slot, const D3D11_TEXTURE2D_DESC& desc);
    // Makes ring slot 0's texture as `desc` asks and opens it on the consumer's device. Refused:
    // Direct3D 11 would not make it, or Direct3D 12 would not open it (E_INVALIDARG).
    enum class FirstSlot { Opened, Refused, Failed };
    FirstSlot makeSharedFirstSlot(const D3D11_TEXTURE2D_DESC& desc);
    // Shares a slot's texture through an NT handle and opens it on the consumer's device; `atOpen`
    // tells a failure of OpenSharedHandle from one before it.
    HRESULT shareSlot(int slot, bool& atOpen);
    bool createPipelineObjects(bool turned);
    // (Re)makes convertVs and convertPs; false, with both null, when either cannot be made.
    bool createConvertProgram();
};

struct DuplicationSource::Impl final : SourceCore {
    explicit Impl(int32_t index) : outputIndex(index) {}

    int32_t outputIndex;
    ComPtr<IDXGIOutput1> output;
    ComPtr<IDXGIOutputDuplication> duplication;
    DXGI_MODE_ROTATION rotation = DXGI_MODE_ROTATION_IDENTITY;  // the held duplication's
    int32_t hotspotX = 0;
    int32_t hotspotY = 0;
    RECT desktopRect{0, 0, 0, 0};
    std::vector<uint8_t> pointerShapeBuffer;
    // The held duplication's latest pointer update: whether there was one, and whether it said the
    // pointer shows (a cursor Windows drew into the image itself is reported hidden).
    bool pointerReported = false;
    bool pointerShown = false;
    bool imageMasked = false;  // the latest desktop image had protected content blacked out
    // Pointer-only updates are published at most once per refresh interval of the output. One that
    // comes sooner is staged: its image goes into the next slot (or its intermediate) and the rest
    // of the frame is done when the interval ends, with the newest pointer.
    int64_t refreshIntervalNs = 16666667;
    DXGI_OUTDUPL_FRAME_INFO pendingInfo{};
    std::atomic<bool> rotationCorrected{false};
    bool rotationWarned = false;
    bool failureReported = false;
    // The duplication held now: what its description reported and which call made it; whether
    // its images have been seen to match the ring.
    DeliveredMode duplicated;
    bool imagesChecked = false;
    // What the duplications of each mode were seen to deliver, kept for the life of the source.
    std::vector<DeliveredMode> deliveredModes;

    // Ends the capture thread and releases every device object (DuplicationSource::stop).
    void stop();
    // Brings the source up on `device` (DuplicationSource::start).
    bool start(ID3D12Device* device) override;
    // (Re)opens the output and its desktop duplication and keeps the ring in step with the mode it
    // delivers (`initial`: always rebuild). True when a duplication is held over a complete ring.
    bool acquireDuplication(bool initial);
    // Compares an acquired image with the ring before it is copied. A mismatch is a mode change:
    // the ring is rebuilt for the image, which then goes into it. False when that rebuild failed:
    // the image went back and the duplication was dropped.
    bool imageFitsRing(ID3D11Texture2D* frame);
    // The capture thread's body: runs until stopRequested is seen.
    void run();
    // Fetches the new pointer shape (`size` bytes) and turns it into the cursor texture.
    void updatePointerShape(unsigned size);
    void noticeConversion(DXGI_FORMAT format) override;

private:
    // Replaces a factory whose output information a display change has made stale.
    bool refreshAdapter();
    bool openOutput(ID3D12Device* caller, DXGI_OUTPUT_DESC& desc);
    // Stores `mode` as the ring's, rebuilds the ring for it, prints the conversion notice and
    // publishes the new generation.
    bool adoptMode(const DesktopMode& mode, int32_t turns);
    // The mode the images of the duplication held now are expected in.
    DesktopMode expectedImages() const;
    // The quarter turns the ring should give the images of the duplication held now.
    int32_t wantedTurns() const;
    // Stores the ring's geometry for `mode` turned by `turns`.
    void setGeometry(const DesktopMode& mode, int32_t turns);
    void learnDelivered(const DesktopMode& images);
    bool ensureDuplication();
    // Copies (and converts) `frame` into the slot and finishes it; what ReleaseFrame returned.
    HRESULT renderFrame(int slot, ID3D11Texture2D* frame);
    // A pointer-only update that comes within a refresh interval of the last publication.
    bool pointerEarly(const DXGI_OUTDUPL_FRAME_INFO& info) const;
    // Handles one acquired frame; false when it was not published.
    bool takeFrame(int slot, const DXGI_OUTDUPL_FRAME_INFO& info, ID3D11Texture2D* frame);
    // Publishes the staged pointer update once its interval has passed; true when it did.
    bool publishPendingPointer(int slot);
    void publishDuplicated(int slot, const DXGI_OUTDUPL_FRAME_INFO& frame);
    UINT acquireTimeoutMs() const;
    // Where the cursor is, and whether it is drawn, for the latest pointer update.
    void placeCursorNow();
    // Forgets the held duplication with its pointer state and anything staged.
    void dropDuplication();
    bool outputInPq(bool unknown) const;
    // Before an acquisition: replaces a removed private device; false while that cannot be done
    // yet, and for good once the consumer's device was removed.
    bool recoverLostDevices();
    bool recreateDevice();
    void nameDuplication();
};

// How long the frame-rate cap sleeps, in whole milliseconds, `elapsedNs` after the last
// publication; -1 for no sleep at all.
int32_t frameCapSleepMs(double minFrameIntervalMs, int64_t elapsedNs);
// Places the cursor image on the output at `desktop` from GetCursorInfo. False (and `visible`
// false, the place unchanged) when the cursor is hidden or cannot be read.
bool placeCursor(const RECT& desktop, int32_t hotspotX, int32_t hotspotY, bool& visible, int32_t& x, int32_t& y);
// A default-usage 2D texture of one array slice and one sample; bind and misc flags left 0.
D3D11_TEXTURE2D_DESC textureDesc(uint32_t width, uint32_t height, uint32_t mips, DXGI_FORMAT format);
// Writes 16 bytes into a dynamic constant buffer; a failed Map keeps what it held.
void writeConstants(ID3D11DeviceContext* context, ID3D11Buffer* buffer, const float (&values)[4]);
void setViewport(ID3D11DeviceContext* context, uint32_t w, uint32_t h);

// Prints the consumer's refusal to open a ring texture.
void reportOpenFailure(HRESULT hr);

// The SDR white level of `monitor` as a multiple of 80 nits; 2.5 when it cannot be determined.
float querySdrWhiteScale(HMONITOR monitor);

// Steady-clock nanoseconds and QueryPerformanceCounter ticks now.
int64_t nowNs();
int64_t qpcNow();

// Reaches the private record of a source; for the library's own files and its tests.
struct ImplAccess {
    template <class Source>
    static auto& of(Source& source) {
        return *source.impl_;
    }
};

// A GraphicsCaptureSource for `monitor`; null where the library was built without one.
std::unique_ptr<FrameSource> makeGraphicsCaptureSource(HMONITOR monitor);

}  // namespace velda
