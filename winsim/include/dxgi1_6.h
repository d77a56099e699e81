// DXGI 1.6.
#pragma once
#include "dxgi1_5.h"

struct IDXGIOutput6 : IDXGIOutput5 {};
WINSIM_INTERFACE(IDXGIOutput6, IDXGIOutput5)
