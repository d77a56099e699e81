// GetCursorInfo over the machine's cursor.
#include <windows.h>

#include "kernel/handles.h"
#include "machine/dpi.h"
#include "machine/faults.h"
#include "machine/machine.h"

BOOL WINAPI GetCursorInfo(PCURSORINFO info) {
    if (!info || info->cbSize != sizeof(CURSORINFO)) {
        winsim::kernel::setLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (auto hr = winsim::fault("GetCursorInfo")) {
        winsim::kernel::setLastError(static_cast<DWORD>(HRESULT_CODE(*hr)));
        return FALSE;
    }
    auto machine = winsim::currentMachine();
    if (!machine) return FALSE;
    auto lock = machine->lock();
    machine->advance(winsim::Clock::now());
    const auto& cursor = machine->cursor;
    info->flags = cursor.visible ? CURSOR_SHOWING : 0;
    info->hCursor = cursor.visible ? cursor.handle : nullptr;
    info->ptScreenPos = winsim::logicalPoint(*machine, cursor.position);
    return TRUE;
}
