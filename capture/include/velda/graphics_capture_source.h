// A frame source that captures one monitor through Windows.Graphics.Capture, which reaches
// monitors driven by another adapter than the consumer's (the panel of a hybrid laptop).
#pragma once
#include <windows.h>

#include <memory>

#include "velda/frame_source.h"

namespace velda {

class GraphicsCaptureSource final : public FrameSource {
public:
    // Captures `monitor` (velda::monitors() lists them). After an unplug the source waits for a
    // monitor of the same device name.
    explicit GraphicsCaptureSource(HMONITOR monitor);
    // Stops the source (joining its capture thread) before anything is freed.
    ~GraphicsCaptureSource() override;
    GraphicsCaptureSource(const GraphicsCaptureSource&) = delete;
    GraphicsCaptureSource& operator=(const GraphicsCaptureSource&) = delete;

    // Also false, with one line on standard error, where the system has no Windows.Graphics.Capture.
    bool start(ID3D12Device* device) override;
    void stop() override;
    // A paused source holds no capture session or frame pool.
    void setPaused(bool paused) override;
    uint32_t width() const override;
    uint32_t height() const override;
    uint32_t mipLevels() const override;
    int32_t ringSize() const override;
    ID3D12Resource* texture(int32_t slot) const override;
    int32_t latest(uint32_t* generation) const override;
    bool latestFrame(FrameInfo* info) const override;
    bool waitForFrame(uint64_t afterSequence, uint32_t timeoutMs, FrameInfo* info) const override;
    SourceState state() const override;
    void setMinFrameIntervalMs(double milliseconds) override;
    // The system draws the cursor (where it can leave it out: from Windows 10 2004).
    void setCursorDrawn(bool drawn) override;

    // Restarts a stopped source, or one whose start failed, on the device it was last started with,
    // and returns what that start returns. False when it was never started; true while it runs.
    bool resume();

    struct Impl;

private:
    friend struct ImplAccess;
    std::unique_ptr<Impl> impl_;
};

}  // namespace velda
