// The fault table, as the API front-ends consult it.
#pragma once
#include <optional>

#include <windows.h>

#include "machine/fault_calls.h"

namespace winsim {
// Counts the call and returns the result a matching fault imposes, if any.
std::optional<HRESULT> fault(FaultCall call, int index = -1);
}  // namespace winsim
