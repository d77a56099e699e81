// Windows Runtime apartments and activation.
#pragma once
#include "activation.h"
#include "hstring.h"

enum RO_INIT_TYPE { RO_INIT_SINGLETHREADED = 0, RO_INIT_MULTITHREADED = 1 };

extern "C" {
HRESULT WINAPI RoInitialize(RO_INIT_TYPE initType);
void WINAPI RoUninitialize();
HRESULT WINAPI RoGetActivationFactory(HSTRING activatableClassId, REFIID iid, void** factory);
}
