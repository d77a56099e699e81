// What a process's application manifest declares, as Windows reads it when the process starts.
#pragma once
#include <cstdint>
#include <string_view>

namespace winsim {

// The DPI awareness context (a DPI_AWARENESS_CONTEXT value, -1 to -4) that the manifest `xml`
// declares; 0 when it declares none.
intptr_t manifestDpiContext(std::string_view xml);

// The context the registered application manifest declares (setApplicationManifest); 0 for none.
intptr_t applicationManifestDpiContext();

}  // namespace winsim
