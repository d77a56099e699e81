// The activation factories of Windows.Graphics.Capture's classes.
#pragma once
#include <string>

#include <unknwn.h>

namespace winsim::wgc {

// The factory of the class `classId` names, through `iid`; REGDB_E_CLASSNOTREG for a class the
// machine has not (another one, or none on a machine without Windows.Graphics.Capture).
HRESULT activationFactory(const std::wstring& classId, REFIID iid, void** factory);

}  // namespace winsim::wgc
