// DXGI 1.3.
#pragma once
#include "dxgi1_2.h"

struct IDXGIOutput2 : IDXGIOutput1 {};
WINSIM_INTERFACE(IDXGIOutput2, IDXGIOutput1, "595e39d1-2724-4663-99b1-da969de28364")
struct IDXGIOutput3 : IDXGIOutput2 {};
WINSIM_INTERFACE(IDXGIOutput3, IDXGIOutput2, "8a6bb301-7e7e-41f4-a8e0-5b32f7f99b18")
#define DXGI_CREATE_FACTORY_DEBUG 0x1u
HRESULT WINAPI CreateDXGIFactory2(UINT flags, REFIID riid, void** factory);

struct IDXGIFactory3 : IDXGIFactory2 {};
WINSIM_INTERFACE(IDXGIFactory3, IDXGIFactory2, "25483823-cd46-4c7d-86ca-47aa95b837bd")
