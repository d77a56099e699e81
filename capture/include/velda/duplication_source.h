// A frame source that duplicates one monitor's desktop.
#pragma once
#include <memory>

#include "velda/frame_source.h"

namespace velda {

class DuplicationSource final : public FrameSource {
public:
    // Captures output `outputIndex` of the adapter that the device given to `start` runs on.
    explicit DuplicationSource(int32_t outputIndex);
    // Stops the source (joining its capture thread) before anything is freed.
    ~DuplicationSource() override;
    DuplicationSource(const DuplicationSource&) = delete;
    DuplicationSource& operator=(const DuplicationSource&) = delete;

    bool start(ID3D12Device* device) override;
    void stop() override;
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
    void setCursorDrawn(bool drawn) override;

    // Whether the frames of a rotated monitor are turned upright (off by default: they arrive in
    // the display mode's own orientation). With it on, a monitor rotated by 90 or 270 degrees gives
    // a ring of the desktop's width and height (the mode's swapped), and a change of rotation
    // rebuilds the ring as a new generation.
    void setRotationCorrected(bool corrected);

    // Restarts a stopped source, or one whose start failed, on the device it was last started with,
    // and returns what that start returns. False when it was never started; true without any work
    // while it runs.
    bool resume();

    struct Impl;

private:
    friend struct ImplAccess;
    std::unique_ptr<Impl> impl_;
};

}  // namespace velda
