// The control API for monitors, desktops and the cursor.
#include <algorithm>

#include "machine/machine.h"

namespace winsim {
namespace {

template <class F>
void changeOutput(int output, F&& change) {
    auto machine = currentMachine();
    auto state = currentOutput(output);
    if (!machine || !state) return;
    auto lock = machine->lock();
    OutputConfig next = state->current;
    change(next);
    state->reconfigure(next);
}

template <class F>
void changeCursor(F&& change) {
    auto machine = currentMachine();
    if (!machine) return;
    auto lock = machine->lock();
    change(machine->cursor);
    machine->notify();
}

// A 32x32 arrow: rows y < 24 hold x <= y/2 (the arrow), the rest is empty.
bool inArrow(UINT x, UINT y) { return y < 24 && x <= y / 2; }
bool onArrowEdge(UINT x, UINT y) { return inArrow(x, y) && (x == 0 || x == y / 2 || y == 23); }

CursorShape colorArrow(bool masked) {
    CursorShape shape{masked ? UINT{DXGI_OUTDUPL_POINTER_SHAPE_TYPE_MASKED_COLOR} : UINT{DXGI_OUTDUPL_POINTER_SHAPE_TYPE_COLOR},
                      32, 32, 128, POINT{0, 0}, std::vector<uint8_t>(32 * 128, 0)};
    for (UINT y = 0; y < 32; ++y) {
        for (UINT x = 0; x < 32; ++x) {
            uint32_t v;
            if (masked) {  // edge black opaque, inside white, outside: mask set, colour 0 (transparent)
                v = inArrow(x, y) ? (onArrowEdge(x, y) ? 0x00000000u : 0x00FFFFFFu) : 0xFF000000u;
            } else {       // edge black, inside half-transparent white, outside transparent
                v = inArrow(x, y) ? (onArrowEdge(x, y) ? 0xFF000000u : 0x80FFFFFFu) : 0u;
            }
            for (int i = 0; i < 4; ++i) shape.bytes[y * 128 + x * 4 + i] = static_cast<uint8_t>(v >> (8 * i));
        }
    }
    return shape;
}

CursorShape monochromeArrow() {
    CursorShape shape{DXGI_OUTDUPL_POINTER_SHAPE_TYPE_MONOCHROME, 32, 64, 4, POINT{0, 0}, std::vector<uint8_t>(64 * 4, 0)};
    for (UINT y = 0; y < 32; ++y) {
        for (UINT x = 0; x < 32; ++x) {
            const uint8_t bit = static_cast<uint8_t>(0x80u >> (x % 8));
            if (!inArrow(x, y)) shape.bytes[y * 4 + x / 8] |= bit;                        // AND 1 XOR 0: transparent
            else if (!onArrowEdge(x, y)) shape.bytes[(32 + y) * 4 + x / 8] |= bit;       // AND 0 XOR 1: white
        }
    }
    return shape;
}

}  // namespace

CursorShape standardCursor(CursorKind kind) {
    switch (kind) {
        case CursorKind::Monochrome: return monochromeArrow();
        case CursorKind::MaskedColor: return colorArrow(true);
        case CursorKind::Color: break;
    }
    return colorArrow(false);
}

void setOutputMode(int output, UINT width, UINT height, DXGI_FORMAT format) {
    changeOutput(output, [&](OutputConfig& c) {
        c.width = width;
        c.height = height;
        c.format = format;
    });
}

void setOutputRotation(int output, DXGI_MODE_ROTATION rotation) {
    changeOutput(output, [&](OutputConfig& c) { c.rotation = rotation; });
}

void setOutputAttached(int output, bool attached) {
    changeOutput(output, [&](OutputConfig& c) { c.attached = attached; });
}

void setOutputUpdateRate(int output, double hz) {
    auto machine = currentMachine();
    auto state = currentOutput(output);
    if (!machine || !state) return;
    auto lock = machine->lock();
    state->current.updateHz = hz;
    state->desktop.setRate(hz, Clock::now());
    machine->notify();
}

void presentImage(int output, std::vector<uint8_t> pixels) {
    auto machine = currentMachine();
    auto state = currentOutput(output);
    if (!machine || !state) return;
    auto lock = machine->lock();
    const RECT rect = state->current.desktopRect();
    state->desktop.present(std::move(pixels), static_cast<uint32_t>(rect.right - rect.left),
                           static_cast<uint32_t>(rect.bottom - rect.top), Clock::now());
    machine->notify();
}

uint64_t desktopVersion(int output) {
    auto machine = currentMachine();
    auto state = currentOutput(output);
    if (!machine || !state) return 0;
    auto lock = machine->lock();
    return state->desktop.version(Clock::now());
}

void setSecureDesktop(bool shown) {
    auto machine = currentMachine();
    if (!machine) return;
    auto lock = machine->lock();
    if (shown && !machine->secureDesktop)
        for (auto& output : machine->outputs()) ++output->epoch;
    machine->secureDesktop = shown;
    machine->notify();
}

void setOtherDuplicatingProcesses(int count) {
    auto machine = currentMachine();
    if (!machine) return;
    auto lock = machine->lock();
    machine->otherDuplicatingProcesses = std::max(count, 0);
}

void setCursorPosition(LONG x, LONG y) {
    changeCursor([&](CursorState& c) {
        c.position = POINT{x, y};
        ++c.moves;
    });
}

void setCursorVisible(bool visible) {
    changeCursor([&](CursorState& c) {
        c.visible = visible;
        ++c.moves;
    });
}

void setCursorShape(CursorShape shape) {
    changeCursor([&](CursorState& c) {
        c.shape = std::move(shape);
        ++c.shapes;
        c.handle = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x20000 + c.shapes));
    });
}

void setCursorMoving(bool moving) {
    changeCursor([&](CursorState& c) { c.moving = moving; });
}

}  // namespace winsim
