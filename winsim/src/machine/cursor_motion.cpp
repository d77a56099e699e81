// The cursor that scenarios move by themselves: it wanders over the desktop at the machine's
// rate (up to a 1000 Hz mouse, one move a millisecond) and changes its shape now and then.
#include <algorithm>

#include "machine/machine.h"

namespace winsim {

void Machine::advanceCursor(Clock::time_point now) {
    const double seconds = std::chrono::duration<double>(now - created_).count();
    const auto move = config_.cursorHz > 0 ? static_cast<uint64_t>(seconds * config_.cursorHz) : cursor.moves;
    const auto shape = config_.cursorShapeSeconds > 0 ? static_cast<uint64_t>(seconds / config_.cursorShapeSeconds)
                                                      : cursor.shapes;
    if (move == cursor.moves && shape == cursor.shapes) return;
    if (move != cursor.moves) {
        // Wander over the bounding box of the attached outputs.
        RECT bounds{0, 0, 1, 1};
        for (const auto& output : outputs_) {
            if (!output->current.attached) continue;
            const RECT r = output->current.desktopRect();
            bounds = RECT{std::min(bounds.left, r.left), std::min(bounds.top, r.top), std::max(bounds.right, r.right),
                          std::max(bounds.bottom, r.bottom)};
        }
        const auto w = static_cast<uint64_t>(bounds.right - bounds.left);
        const auto h = static_cast<uint64_t>(bounds.bottom - bounds.top);
        cursor.position = POINT{bounds.left + static_cast<LONG>(move * 173 % w), bounds.top + static_cast<LONG>(move * 89 % h)};
        cursor.moves = move;
    }
    if (shape != cursor.shapes) {
        cursor.shape = standardCursor(static_cast<CursorKind>(shape % 3));
        cursor.shapes = shape;
        cursor.handle = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x20000 + shape));
    }
    notify();
}

}  // namespace winsim
