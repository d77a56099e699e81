// The program's application manifest. On Windows the loader reads it from the executable's
// resources when the process starts; a program built for winsim hands its text over through
// winsim_application_manifest() in CMake, which calls setApplicationManifest before main.
#pragma once

namespace winsim {

// Every machine made from now on (a new machine is a new process) starts with what `text`, the
// manifest's XML, declares: today its DPI awareness (<dpiAwareness>, else <dpiAware>). Null
// forgets the manifest. Machines that already exist keep theirs.
void setApplicationManifest(const char* text);

}  // namespace winsim
