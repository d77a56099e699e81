// RoInitialize, RoUninitialize and RoGetActivationFactory. Initialize's page (roapi): S_OK for the
// thread's first initialisation, S_FALSE when it is already in an apartment of the same type,
// RPC_E_CHANGED_MODE when it is in the other type. RoActivateInstance's page: CO_E_NOTINITIALIZED
// on a thread that has not called RoInitialize. An unknown class is REGDB_E_CLASSNOTREG.
#include <roapi.h>

#include "machine/faults.h"
#include "wgc/activation.h"
#include "winrt/apartment.h"
#include "winrt/strings.h"

namespace winsim::winrt {
namespace {

struct ThreadApartment {
    Apartment type = Apartment::None;
    int entries = 0;
};
thread_local ThreadApartment apartment;

}  // namespace

Apartment currentApartment() { return apartment.type; }

void enterSystemApartment() {
    if (apartment.type != Apartment::None) return;
    apartment = {Apartment::MultiThreaded, 1};
}

}  // namespace winsim::winrt

using winsim::winrt::Apartment;

HRESULT WINAPI RoInitialize(RO_INIT_TYPE type) {
    if (type != RO_INIT_SINGLETHREADED && type != RO_INIT_MULTITHREADED) return E_INVALIDARG;
    if (auto hr = winsim::fault("RoInitialize")) return *hr;
    auto& current = winsim::winrt::apartment;
    const Apartment wanted = type == RO_INIT_MULTITHREADED ? Apartment::MultiThreaded : Apartment::SingleThreaded;
    if (current.type != Apartment::None && current.type != wanted) return RPC_E_CHANGED_MODE;
    const bool first = current.type == Apartment::None;
    current.type = wanted;
    ++current.entries;
    return first ? S_OK : S_FALSE;
}

// Each successful RoInitialize (S_FALSE too) is matched by one RoUninitialize.
void WINAPI RoUninitialize() {
    auto& current = winsim::winrt::apartment;
    if (current.entries == 0) return;
    if (--current.entries == 0) current.type = Apartment::None;
}

HRESULT WINAPI RoGetActivationFactory(HSTRING classId, REFIID iid, void** factory) {
    if (!factory) return E_POINTER;
    *factory = nullptr;
    if (auto hr = winsim::fault("RoGetActivationFactory")) return *hr;
    if (winsim::winrt::currentApartment() == Apartment::None) return CO_E_NOTINITIALIZED;
    if (!classId) return E_INVALIDARG;
    return winsim::wgc::activationFactory(winsim::winrt::text(classId), iid, factory);
}
