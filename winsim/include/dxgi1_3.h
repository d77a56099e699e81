// DXGI 1.3.
#pragma once
#include "dxgi1_2.h"

struct IDXGIOutput2 : IDXGIOutput1 {};
WINSIM_INTERFACE(IDXGIOutput2, IDXGIOutput1)
struct IDXGIOutput3 : IDXGIOutput2 {};
WINSIM_INTERFACE(IDXGIOutput3, IDXGIOutput2)
struct IDXGIFactory3 : IDXGIFactory2 {};
WINSIM_INTERFACE(IDXGIFactory3, IDXGIFactory2)
