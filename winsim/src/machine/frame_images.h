// The desktop images the compositor hands one duplication, which its frames show.
//
// The caller records GPU work that reads a frame (a copy), hands the frame back and acquires the
// next one before that work has run. So a new frame is never rendered into an image that anyone
// still holds (a frame texture, queued work): it goes into a free image, or a new one. Every image
// shares the one allocation of the duplication's desktop surface, so the ledger's charge stays the
// same however many images the duplication needs, in whichever formats it hands them out.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <windows.h>

#include "formats/dxgi_format.h"

namespace winsim {

// What the compositor drew over the desktop.
struct Overlay {
    RECT masked{};         // protected content blacked out; empty: none
    bool pointer = false;  // the pointer drawn in (a software cursor), at x, y with its shape number
    LONG x = 0, y = 0;
    uint64_t shape = 0;
    bool operator==(const Overlay& o) const {
        return masked.left == o.masked.left && masked.top == o.masked.top && masked.right == o.masked.right &&
               masked.bottom == o.masked.bottom && pointer == o.pointer && x == o.x && y == o.y && shape == o.shape;
    }
};

// What an image shows: a desktop version as the desktop drew it at one revision and white level,
// in a format (unknown: the pool's own) with an overlay.
struct FrameContent {
    uint64_t version = UINT64_MAX;
    uint64_t revision = 0;
    float white = 0;
    DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN;
    Overlay overlay;
    bool operator==(const FrameContent&) const = default;
};

class FrameImages {
public:
    FrameImages(std::shared_ptr<gpu::Allocation> surface, DXGI_FORMAT format, uint32_t width, uint32_t height)
        : surface_(std::move(surface)), format_(format), width_(width), height_(height) {}

    // An image holding `content`: one that already holds it, else a free image that `render`
    // fills. The image counts as held until every copy of the pointer is gone.
    std::shared_ptr<gpu::Image> image(const FrameContent& content, const std::function<void(gpu::Image&)>& render);
    // Renders `content` ahead into a free image of the pool, sparing the one handed out last,
    // unless an image holds it already or none is free.
    void prepare(const FrameContent& content, const std::function<void(gpu::Image&)>& render);

private:
    struct Slot {
        std::shared_ptr<gpu::Image> image;
        DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN;
        FrameContent content;
        std::atomic<bool> held{false};  // cleared (release) by whoever drops the last pointer
    };
    static constexpr size_t kPoolSize = 3;  // images of each format

    // `content` with its format filled in.
    FrameContent filled(const FrameContent& content) const;
    std::shared_ptr<Slot> freeSlot(const FrameContent& content);
    std::shared_ptr<Slot> newSlot(DXGI_FORMAT format) const;
    // A new slot for `format`, kept in the pool while that format has room.
    std::shared_ptr<Slot> addSlot(DXGI_FORMAT format);
    size_t slotsOf(DXGI_FORMAT format) const;
    static std::shared_ptr<gpu::Image> handOut(const std::shared_ptr<Slot>& slot);

    std::shared_ptr<gpu::Allocation> surface_;
    DXGI_FORMAT format_;
    uint32_t width_, height_;
    std::vector<std::shared_ptr<Slot>> pool_;
    std::weak_ptr<gpu::Image> last_;  // the image handed out last
    FrameContent lastContent_;
};

}  // namespace winsim
