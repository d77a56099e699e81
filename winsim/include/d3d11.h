// Direct3D 11: the private device of a capture source and the objects it creates.
#pragma once
#include "d3dcommon.h"
#include "dxgi.h"

#define D3D11_SDK_VERSION 7
#define D3D11_CREATE_DEVICE_SINGLETHREADED 0x1u
#define D3D11_CREATE_DEVICE_DEBUG 0x2u
#define D3D11_CREATE_DEVICE_BGRA_SUPPORT 0x20u

#define D3D11_COMMONSHADER_CONSTANT_BUFFER_API_SLOT_COUNT 14
#define D3D11_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT 128
#define D3D11_COMMONSHADER_SAMPLER_SLOT_COUNT 16
#define D3D11_SIMULTANEOUS_RENDER_TARGET_COUNT 8
#define D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION 16384
#define D3D11_FLOAT32_MAX 3.402823466e+38f

using D3D11_PRIMITIVE_TOPOLOGY = D3D_PRIMITIVE_TOPOLOGY;
#define D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST D3D_PRIMITIVE_TOPOLOGY_TRIANGLELIST
#define D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP D3D_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP

enum D3D11_USAGE { D3D11_USAGE_DEFAULT = 0, D3D11_USAGE_IMMUTABLE = 1, D3D11_USAGE_DYNAMIC = 2, D3D11_USAGE_STAGING = 3 };

enum D3D11_BIND_FLAG {
    D3D11_BIND_VERTEX_BUFFER = 0x1,
    D3D11_BIND_INDEX_BUFFER = 0x2,
    D3D11_BIND_CONSTANT_BUFFER = 0x4,
    D3D11_BIND_SHADER_RESOURCE = 0x8,
    D3D11_BIND_STREAM_OUTPUT = 0x10,
    D3D11_BIND_RENDER_TARGET = 0x20,
    D3D11_BIND_DEPTH_STENCIL = 0x40,
    D3D11_BIND_UNORDERED_ACCESS = 0x80
};

enum D3D11_CPU_ACCESS_FLAG { D3D11_CPU_ACCESS_WRITE = 0x10000, D3D11_CPU_ACCESS_READ = 0x20000 };

enum D3D11_RESOURCE_MISC_FLAG {
    D3D11_RESOURCE_MISC_GENERATE_MIPS = 0x1,
    D3D11_RESOURCE_MISC_SHARED = 0x2,
    D3D11_RESOURCE_MISC_TEXTURECUBE = 0x4,
    D3D11_RESOURCE_MISC_SHARED_KEYEDMUTEX = 0x100,
    D3D11_RESOURCE_MISC_SHARED_NTHANDLE = 0x800
};

enum D3D11_MAP {
    D3D11_MAP_READ = 1,
    D3D11_MAP_WRITE = 2,
    D3D11_MAP_READ_WRITE = 3,
    D3D11_MAP_WRITE_DISCARD = 4,
    D3D11_MAP_WRITE_NO_OVERWRITE = 5
};

enum D3D11_RESOURCE_DIMENSION {
    D3D11_RESOURCE_DIMENSION_UNKNOWN = 0,
    D3D11_RESOURCE_DIMENSION_BUFFER = 1,
    D3D11_RESOURCE_DIMENSION_TEXTURE1D = 2,
    D3D11_RESOURCE_DIMENSION_TEXTURE2D = 3,
    D3D11_RESOURCE_DIMENSION_TEXTURE3D = 4
};

enum D3D11_RTV_DIMENSION { D3D11_RTV_DIMENSION_UNKNOWN = 0, D3D11_RTV_DIMENSION_TEXTURE2D = 4 };

enum D3D_SRV_DIMENSION { D3D_SRV_DIMENSION_UNKNOWN = 0, D3D_SRV_DIMENSION_TEXTURE2D = 4 };
using D3D11_SRV_DIMENSION = D3D_SRV_DIMENSION;
#define D3D11_SRV_DIMENSION_UNKNOWN D3D_SRV_DIMENSION_UNKNOWN
#define D3D11_SRV_DIMENSION_TEXTURE2D D3D_SRV_DIMENSION_TEXTURE2D

enum D3D11_FILTER {
    D3D11_FILTER_MIN_MAG_MIP_POINT = 0,
    D3D11_FILTER_MIN_MAG_POINT_MIP_LINEAR = 0x1,
    D3D11_FILTER_MIN_MAG_LINEAR_MIP_POINT = 0x14,
    D3D11_FILTER_MIN_MAG_MIP_LINEAR = 0x15
};

enum D3D11_TEXTURE_ADDRESS_MODE {
    D3D11_TEXTURE_ADDRESS_WRAP = 1,
    D3D11_TEXTURE_ADDRESS_MIRROR = 2,
    D3D11_TEXTURE_ADDRESS_CLAMP = 3,
    D3D11_TEXTURE_ADDRESS_BORDER = 4,
    D3D11_TEXTURE_ADDRESS_MIRROR_ONCE = 5
};

enum D3D11_COMPARISON_FUNC {
    D3D11_COMPARISON_NEVER = 1,
    D3D11_COMPARISON_LESS = 2,
    D3D11_COMPARISON_EQUAL = 3,
    D3D11_COMPARISON_LESS_EQUAL = 4,
    D3D11_COMPARISON_GREATER = 5,
    D3D11_COMPARISON_NOT_EQUAL = 6,
    D3D11_COMPARISON_GREATER_EQUAL = 7,
    D3D11_COMPARISON_ALWAYS = 8
};

enum D3D11_BLEND {
    D3D11_BLEND_ZERO = 1,
    D3D11_BLEND_ONE = 2,
    D3D11_BLEND_SRC_COLOR = 3,
    D3D11_BLEND_INV_SRC_COLOR = 4,
    D3D11_BLEND_SRC_ALPHA = 5,
    D3D11_BLEND_INV_SRC_ALPHA = 6,
    D3D11_BLEND_DEST_ALPHA = 7,
    D3D11_BLEND_INV_DEST_ALPHA = 8,
    D3D11_BLEND_DEST_COLOR = 9,
    D3D11_BLEND_INV_DEST_COLOR = 10,
    D3D11_BLEND_SRC_ALPHA_SAT = 11,
    D3D11_BLEND_BLEND_FACTOR = 14,
    D3D11_BLEND_INV_BLEND_FACTOR = 15,
    D3D11_BLEND_SRC1_COLOR = 16,
    D3D11_BLEND_INV_SRC1_COLOR = 17,
    D3D11_BLEND_SRC1_ALPHA = 18,
    D3D11_BLEND_INV_SRC1_ALPHA = 19
};

enum D3D11_BLEND_OP {
    D3D11_BLEND_OP_ADD = 1,
    D3D11_BLEND_OP_SUBTRACT = 2,
    D3D11_BLEND_OP_REV_SUBTRACT = 3,
    D3D11_BLEND_OP_MIN = 4,
    D3D11_BLEND_OP_MAX = 5
};

enum D3D11_COLOR_WRITE_ENABLE {
    D3D11_COLOR_WRITE_ENABLE_RED = 1,
    D3D11_COLOR_WRITE_ENABLE_GREEN = 2,
    D3D11_COLOR_WRITE_ENABLE_BLUE = 4,
    D3D11_COLOR_WRITE_ENABLE_ALPHA = 8,
    D3D11_COLOR_WRITE_ENABLE_ALL = 15
};

struct D3D11_TEXTURE2D_DESC {
    UINT Width;
    UINT Height;
    UINT MipLevels;
    UINT ArraySize;
    DXGI_FORMAT Format;
    DXGI_SAMPLE_DESC SampleDesc;
    D3D11_USAGE Usage;
    UINT BindFlags;
    UINT CPUAccessFlags;
    UINT MiscFlags;
};

struct D3D11_BUFFER_DESC {
    UINT ByteWidth;
    D3D11_USAGE Usage;
    UINT BindFlags;
    UINT CPUAccessFlags;
    UINT MiscFlags;
    UINT StructureByteStride;
};

struct D3D11_SUBRESOURCE_DATA {
    const void* pSysMem;
    UINT SysMemPitch;
    UINT SysMemSlicePitch;
};

struct D3D11_MAPPED_SUBRESOURCE {
    void* pData;
    UINT RowPitch;
    UINT DepthPitch;
};

struct D3D11_BOX {
    UINT left;
    UINT top;
    UINT front;
    UINT right;
    UINT bottom;
    UINT back;
};

struct D3D11_VIEWPORT {
    FLOAT TopLeftX;
    FLOAT TopLeftY;
    FLOAT Width;
    FLOAT Height;
    FLOAT MinDepth;
    FLOAT MaxDepth;
};

struct D3D11_TEX2D_RTV {
    UINT MipSlice;
};

struct D3D11_RENDER_TARGET_VIEW_DESC {
    DXGI_FORMAT Format;
    D3D11_RTV_DIMENSION ViewDimension;
    union {
        D3D11_TEX2D_RTV Texture2D;
    };
};

struct D3D11_TEX2D_SRV {
    UINT MostDetailedMip;
    UINT MipLevels;
};

struct D3D11_SHADER_RESOURCE_VIEW_DESC {
    DXGI_FORMAT Format;
    D3D11_SRV_DIMENSION ViewDimension;
    union {
        D3D11_TEX2D_SRV Texture2D;
    };
};

struct D3D11_SAMPLER_DESC {
    D3D11_FILTER Filter;
    D3D11_TEXTURE_ADDRESS_MODE AddressU;
    D3D11_TEXTURE_ADDRESS_MODE AddressV;
    D3D11_TEXTURE_ADDRESS_MODE AddressW;
    FLOAT MipLODBias;
    UINT MaxAnisotropy;
    D3D11_COMPARISON_FUNC ComparisonFunc;
    FLOAT BorderColor[4];
    FLOAT MinLOD;
    FLOAT MaxLOD;
};

struct D3D11_RENDER_TARGET_BLEND_DESC {
    BOOL BlendEnable;
    D3D11_BLEND SrcBlend;
    D3D11_BLEND DestBlend;
    D3D11_BLEND_OP BlendOp;
    D3D11_BLEND SrcBlendAlpha;
    D3D11_BLEND DestBlendAlpha;
    D3D11_BLEND_OP BlendOpAlpha;
    UINT8 RenderTargetWriteMask;
};

struct D3D11_BLEND_DESC {
    BOOL AlphaToCoverageEnable;
    BOOL IndependentBlendEnable;
    D3D11_RENDER_TARGET_BLEND_DESC RenderTarget[8];
};

struct ID3D11Device;
struct ID3D11ClassLinkage;
struct ID3D11ClassInstance;
struct ID3D11DepthStencilView;

struct ID3D11DeviceChild : IUnknown {
    virtual void STDMETHODCALLTYPE GetDevice(ID3D11Device** device) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, UINT* dataSize, void* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, UINT dataSize, const void* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID guid, const IUnknown* data) = 0;
};
WINSIM_INTERFACE(ID3D11DeviceChild, IUnknown, "1841e5c8-16b0-489b-bcc8-44cfb0d5deae")

struct ID3D11Resource : ID3D11DeviceChild {
    virtual void STDMETHODCALLTYPE GetType(D3D11_RESOURCE_DIMENSION* dimension) = 0;
};
WINSIM_INTERFACE(ID3D11Resource, ID3D11DeviceChild, "dc8e63f3-d12b-4952-b47b-5e45026a862d")

struct ID3D11Buffer : ID3D11Resource {
    virtual void STDMETHODCALLTYPE GetDesc(D3D11_BUFFER_DESC* desc) = 0;
};
WINSIM_INTERFACE(ID3D11Buffer, ID3D11Resource, "48570b85-d1ee-4fcd-a250-eb350722b037")

struct ID3D11Texture2D : ID3D11Resource {
    virtual void STDMETHODCALLTYPE GetDesc(D3D11_TEXTURE2D_DESC* desc) = 0;
};
WINSIM_INTERFACE(ID3D11Texture2D, ID3D11Resource, "6f15aaf2-d208-4e89-9ab4-489535d34f9c")

struct ID3D11View : ID3D11DeviceChild {
    virtual void STDMETHODCALLTYPE GetResource(ID3D11Resource** resource) = 0;
};
WINSIM_INTERFACE(ID3D11View, ID3D11DeviceChild, "839d1216-bb2e-412b-b7f4-a9dbebe08ed1")

struct ID3D11RenderTargetView : ID3D11View {
    virtual void STDMETHODCALLTYPE GetDesc(D3D11_RENDER_TARGET_VIEW_DESC* desc) = 0;
};
WINSIM_INTERFACE(ID3D11RenderTargetView, ID3D11View, "dfdba067-0b8d-4865-875b-d7b4516cc164")

struct ID3D11ShaderResourceView : ID3D11View {
    virtual void STDMETHODCALLTYPE GetDesc(D3D11_SHADER_RESOURCE_VIEW_DESC* desc) = 0;
};
WINSIM_INTERFACE(ID3D11ShaderResourceView, ID3D11View, "b0e06fe0-8192-4e1a-b1ca-36d7414710b2")

struct ID3D11VertexShader : ID3D11DeviceChild {};
WINSIM_INTERFACE(ID3D11VertexShader, ID3D11DeviceChild, "3b301d64-d678-4289-8897-22f8928b72f3")

struct ID3D11PixelShader : ID3D11DeviceChild {};
WINSIM_INTERFACE(ID3D11PixelShader, ID3D11DeviceChild, "ea82e40d-51dc-4f33-93d4-db7c9125ae8c")

struct ID3D11InputLayout : ID3D11DeviceChild {};
WINSIM_INTERFACE(ID3D11InputLayout, ID3D11DeviceChild, "e4819ddc-4cf0-4025-bd26-5de82a3e07b7")

struct ID3D11BlendState : ID3D11DeviceChild {
    virtual void STDMETHODCALLTYPE GetDesc(D3D11_BLEND_DESC* desc) = 0;
};
WINSIM_INTERFACE(ID3D11BlendState, ID3D11DeviceChild, "75b68faa-347d-4159-8f45-a0640f01cd9a")

struct ID3D11SamplerState : ID3D11DeviceChild {
    virtual void STDMETHODCALLTYPE GetDesc(D3D11_SAMPLER_DESC* desc) = 0;
};
WINSIM_INTERFACE(ID3D11SamplerState, ID3D11DeviceChild, "da6fea51-564c-4487-9810-f0d0f9b4e3a5")

struct ID3D11DeviceContext : ID3D11DeviceChild {
    virtual void STDMETHODCALLTYPE VSSetConstantBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers) = 0;
    virtual void STDMETHODCALLTYPE PSSetShaderResources(UINT startSlot, UINT count,
                                                        ID3D11ShaderResourceView* const* views) = 0;
    virtual void STDMETHODCALLTYPE PSSetShader(ID3D11PixelShader* shader, ID3D11ClassInstance* const* instances,
                                               UINT instanceCount) = 0;
    virtual void STDMETHODCALLTYPE PSSetSamplers(UINT startSlot, UINT count, ID3D11SamplerState* const* samplers) = 0;
    virtual void STDMETHODCALLTYPE VSSetShader(ID3D11VertexShader* shader, ID3D11ClassInstance* const* instances,
                                               UINT instanceCount) = 0;
    virtual void STDMETHODCALLTYPE Draw(UINT vertexCount, UINT startVertex) = 0;
    virtual HRESULT STDMETHODCALLTYPE Map(ID3D11Resource* resource, UINT subresource, D3D11_MAP mapType,
                                          UINT mapFlags, D3D11_MAPPED_SUBRESOURCE* mapped) = 0;
    virtual void STDMETHODCALLTYPE Unmap(ID3D11Resource* resource, UINT subresource) = 0;
    virtual void STDMETHODCALLTYPE PSSetConstantBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers) = 0;
    virtual void STDMETHODCALLTYPE IASetInputLayout(ID3D11InputLayout* layout) = 0;
    virtual void STDMETHODCALLTYPE IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY topology) = 0;
    virtual void STDMETHODCALLTYPE OMSetRenderTargets(UINT count, ID3D11RenderTargetView* const* views,
                                                      ID3D11DepthStencilView* depthStencil) = 0;
    virtual void STDMETHODCALLTYPE OMSetBlendState(ID3D11BlendState* state, const FLOAT blendFactor[4],
                                                   UINT sampleMask) = 0;
    virtual void STDMETHODCALLTYPE RSSetViewports(UINT count, const D3D11_VIEWPORT* viewports) = 0;
    virtual void STDMETHODCALLTYPE CopySubresourceRegion(ID3D11Resource* dst, UINT dstSubresource, UINT dstX, UINT dstY,
                                                         UINT dstZ, ID3D11Resource* src, UINT srcSubresource,
                                                         const D3D11_BOX* srcBox) = 0;
    virtual void STDMETHODCALLTYPE CopyResource(ID3D11Resource* dst, ID3D11Resource* src) = 0;
    virtual void STDMETHODCALLTYPE UpdateSubresource(ID3D11Resource* dst, UINT dstSubresource, const D3D11_BOX* dstBox,
                                                     const void* data, UINT rowPitch, UINT depthPitch) = 0;
    virtual void STDMETHODCALLTYPE ClearRenderTargetView(ID3D11RenderTargetView* view, const FLOAT color[4]) = 0;
    virtual void STDMETHODCALLTYPE GenerateMips(ID3D11ShaderResourceView* view) = 0;
    virtual void STDMETHODCALLTYPE ClearState() = 0;
    virtual void STDMETHODCALLTYPE Flush() = 0;
};
WINSIM_INTERFACE(ID3D11DeviceContext, ID3D11DeviceChild, "c0bfa96c-e089-44fb-8eaf-26f8796190da")

struct ID3D11Device : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, UINT* dataSize, void* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, UINT dataSize, const void* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID guid, const IUnknown* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBuffer(const D3D11_BUFFER_DESC* desc, const D3D11_SUBRESOURCE_DATA* initialData,
                                                   ID3D11Buffer** buffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateTexture2D(const D3D11_TEXTURE2D_DESC* desc,
                                                      const D3D11_SUBRESOURCE_DATA* initialData,
                                                      ID3D11Texture2D** texture) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateShaderResourceView(ID3D11Resource* resource,
                                                               const D3D11_SHADER_RESOURCE_VIEW_DESC* desc,
                                                               ID3D11ShaderResourceView** view) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateRenderTargetView(ID3D11Resource* resource,
                                                             const D3D11_RENDER_TARGET_VIEW_DESC* desc,
                                                             ID3D11RenderTargetView** view) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateVertexShader(const void* bytecode, SIZE_T length, ID3D11ClassLinkage* linkage,
                                                         ID3D11VertexShader** shader) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreatePixelShader(const void* bytecode, SIZE_T length, ID3D11ClassLinkage* linkage,
                                                        ID3D11PixelShader** shader) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBlendState(const D3D11_BLEND_DESC* desc, ID3D11BlendState** state) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSamplerState(const D3D11_SAMPLER_DESC* desc, ID3D11SamplerState** state) = 0;
    virtual D3D_FEATURE_LEVEL STDMETHODCALLTYPE GetFeatureLevel() = 0;
    virtual UINT STDMETHODCALLTYPE GetCreationFlags() = 0;
    virtual void STDMETHODCALLTYPE GetImmediateContext(ID3D11DeviceContext** context) = 0;
};
WINSIM_INTERFACE(ID3D11Device, IUnknown, "db6f6ddb-ac77-4e88-8253-819df9bbf140")

HRESULT WINAPI D3D11CreateDevice(IDXGIAdapter* adapter, D3D_DRIVER_TYPE driverType, HMODULE software, UINT flags,
                                 const D3D_FEATURE_LEVEL* featureLevels, UINT featureLevelCount, UINT sdkVersion,
                                 ID3D11Device** device, D3D_FEATURE_LEVEL* featureLevel,
                                 ID3D11DeviceContext** immediateContext);
