// A build whose SDK has no Windows.Graphics.Capture: there is no such source to make.
#include "impl.h"

namespace velda {

std::unique_ptr<FrameSource> makeGraphicsCaptureSource(HMONITOR) { return nullptr; }

}  // namespace velda
