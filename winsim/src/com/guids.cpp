// Every interface ID and GUID the headers declare, defined once for the program, as dxguid does
// on Windows.
#include <initguid.h>

#include <d3d11_4.h>
#include <d3d12.h>
#include <d3d12sdklayers.h>
#include <d3dcompiler.h>
#include <dxgi1_6.h>
#include <activation.h>
#include <windows.graphics.capture.h>
#include <windows.graphics.capture.interop.h>
#include <windows.graphics.directx.direct3d11.interop.h>
