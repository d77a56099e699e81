// The fault table, as the API front-ends consult it.
#pragma once
#include <optional>
#include <string_view>

#include <windows.h>

namespace winsim {
// Counts the call and returns the result a matching fault imposes, if any.
std::optional<HRESULT> fault(std::string_view call, int index = -1);
}  // namespace winsim
