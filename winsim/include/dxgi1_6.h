// DXGI 1.6.
#pragma once
#include "dxgi1_5.h"

struct IDXGIOutput6 : IDXGIOutput5 {};
WINSIM_INTERFACE(IDXGIOutput6, IDXGIOutput5, "068346e8-aaec-4b84-add7-137f513f77a1")
