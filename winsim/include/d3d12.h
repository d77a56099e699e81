// Direct3D 12: devices, committed resources, command queues, allocators and lists, fences and
// descriptor heaps.
#pragma once
#include "d3dcommon.h"
#include "dxgicommon.h"
#include "dxgiformat.h"

#ifndef DEFINE_ENUM_FLAG_OPERATORS
// Bitwise operators on a flags enumeration, as winnt.h defines them.
#define DEFINE_ENUM_FLAG_OPERATORS(E)                                                                         \
    inline constexpr E operator|(E a, E b) { return static_cast<E>(static_cast<int>(a) | static_cast<int>(b)); } \
    inline constexpr E operator&(E a, E b) { return static_cast<E>(static_cast<int>(a) & static_cast<int>(b)); } \
    inline constexpr E operator^(E a, E b) { return static_cast<E>(static_cast<int>(a) ^ static_cast<int>(b)); } \
    inline constexpr E operator~(E a) { return static_cast<E>(~static_cast<int>(a)); }                         \
    inline E& operator|=(E& a, E b) { return a = a | b; }                                                     \
    inline E& operator&=(E& a, E b) { return a = a & b; }                                                     \
    inline E& operator^=(E& a, E b) { return a = a ^ b; }
#endif

#define D3D12_RESOURCE_BARRIER_ALL_SUBRESOURCES (0xffffffff)
#define D3D12_DEFAULT_RESOURCE_PLACEMENT_ALIGNMENT (65536)
#define D3D12_SMALL_RESOURCE_PLACEMENT_ALIGNMENT (4096)
#define D3D12_TEXTURE_DATA_PITCH_ALIGNMENT (256)
#define D3D12_TEXTURE_DATA_PLACEMENT_ALIGNMENT (512)
#define D3D12_REQ_MIP_LEVELS (15)
#define D3D12_REQ_TEXTURE2D_U_OR_V_DIMENSION (16384)

#define D3D12_SHADER_COMPONENT_MAPPING_MASK 0x7
#define D3D12_SHADER_COMPONENT_MAPPING_SHIFT 3
#define D3D12_SHADER_COMPONENT_MAPPING_ALWAYS_SET_BIT_AVOIDING_ZEROMEM_MISTAKES \
    (1 << (D3D12_SHADER_COMPONENT_MAPPING_SHIFT * 4))
#define D3D12_ENCODE_SHADER_4_COMPONENT_MAPPING(x, y, z, w)                                          \
    (((x) & D3D12_SHADER_COMPONENT_MAPPING_MASK) |                                                    \
     (((y) & D3D12_SHADER_COMPONENT_MAPPING_MASK) << D3D12_SHADER_COMPONENT_MAPPING_SHIFT) |          \
     (((z) & D3D12_SHADER_COMPONENT_MAPPING_MASK) << (D3D12_SHADER_COMPONENT_MAPPING_SHIFT * 2)) |    \
     (((w) & D3D12_SHADER_COMPONENT_MAPPING_MASK) << (D3D12_SHADER_COMPONENT_MAPPING_SHIFT * 3)) |    \
     D3D12_SHADER_COMPONENT_MAPPING_ALWAYS_SET_BIT_AVOIDING_ZEROMEM_MISTAKES)
#define D3D12_DEFAULT_SHADER_4_COMPONENT_MAPPING D3D12_ENCODE_SHADER_4_COMPONENT_MAPPING(0, 1, 2, 3)

// Resources.
enum D3D12_RESOURCE_DIMENSION {
    D3D12_RESOURCE_DIMENSION_UNKNOWN = 0,
    D3D12_RESOURCE_DIMENSION_BUFFER = 1,
    D3D12_RESOURCE_DIMENSION_TEXTURE1D = 2,
    D3D12_RESOURCE_DIMENSION_TEXTURE2D = 3,
    D3D12_RESOURCE_DIMENSION_TEXTURE3D = 4
};

enum D3D12_TEXTURE_LAYOUT {
    D3D12_TEXTURE_LAYOUT_UNKNOWN = 0,
    D3D12_TEXTURE_LAYOUT_ROW_MAJOR = 1,
    D3D12_TEXTURE_LAYOUT_64KB_UNDEFINED_SWIZZLE = 2,
    D3D12_TEXTURE_LAYOUT_64KB_STANDARD_SWIZZLE = 3
};

enum D3D12_RESOURCE_FLAGS {
    D3D12_RESOURCE_FLAG_NONE = 0,
    D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET = 0x1,
    D3D12_RESOURCE_FLAG_ALLOW_DEPTH_STENCIL = 0x2,
    D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS = 0x4,
    D3D12_RESOURCE_FLAG_DENY_SHADER_RESOURCE = 0x8,
    D3D12_RESOURCE_FLAG_ALLOW_CROSS_ADAPTER = 0x10,
    D3D12_RESOURCE_FLAG_ALLOW_SIMULTANEOUS_ACCESS = 0x20
};
DEFINE_ENUM_FLAG_OPERATORS(D3D12_RESOURCE_FLAGS)

struct D3D12_RESOURCE_DESC {
    D3D12_RESOURCE_DIMENSION Dimension;
    UINT64 Alignment;
    UINT64 Width;
    UINT Height;
    UINT16 DepthOrArraySize;
    UINT16 MipLevels;
    DXGI_FORMAT Format;
    DXGI_SAMPLE_DESC SampleDesc;
    D3D12_TEXTURE_LAYOUT Layout;
    D3D12_RESOURCE_FLAGS Flags;
};

enum D3D12_RESOURCE_STATES {
    D3D12_RESOURCE_STATE_COMMON = 0,
    D3D12_RESOURCE_STATE_VERTEX_AND_CONSTANT_BUFFER = 0x1,
    D3D12_RESOURCE_STATE_INDEX_BUFFER = 0x2,
    D3D12_RESOURCE_STATE_RENDER_TARGET = 0x4,
    D3D12_RESOURCE_STATE_UNORDERED_ACCESS = 0x8,
    D3D12_RESOURCE_STATE_DEPTH_WRITE = 0x10,
    D3D12_RESOURCE_STATE_DEPTH_READ = 0x20,
    D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE = 0x40,
    D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE = 0x80,
    D3D12_RESOURCE_STATE_STREAM_OUT = 0x100,
    D3D12_RESOURCE_STATE_INDIRECT_ARGUMENT = 0x200,
    D3D12_RESOURCE_STATE_COPY_DEST = 0x400,
    D3D12_RESOURCE_STATE_COPY_SOURCE = 0x800,
    D3D12_RESOURCE_STATE_RESOLVE_DEST = 0x1000,
    D3D12_RESOURCE_STATE_RESOLVE_SOURCE = 0x2000,
    D3D12_RESOURCE_STATE_GENERIC_READ = 0x1 | 0x2 | 0x40 | 0x80 | 0x200 | 0x800,
    D3D12_RESOURCE_STATE_PRESENT = 0,
    D3D12_RESOURCE_STATE_PREDICATION = 0x200
};
DEFINE_ENUM_FLAG_OPERATORS(D3D12_RESOURCE_STATES)

struct D3D12_RANGE {
    SIZE_T Begin;
    SIZE_T End;
};

struct D3D12_BOX {
    UINT left;
    UINT top;
    UINT front;
    UINT right;
    UINT bottom;
    UINT back;
};

struct D3D12_RESOURCE_ALLOCATION_INFO {
    UINT64 SizeInBytes;
    UINT64 Alignment;
};

// Heaps.
enum D3D12_HEAP_TYPE {
    D3D12_HEAP_TYPE_DEFAULT = 1,
    D3D12_HEAP_TYPE_UPLOAD = 2,
    D3D12_HEAP_TYPE_READBACK = 3,
    D3D12_HEAP_TYPE_CUSTOM = 4
};

enum D3D12_CPU_PAGE_PROPERTY {
    D3D12_CPU_PAGE_PROPERTY_UNKNOWN = 0,
    D3D12_CPU_PAGE_PROPERTY_NOT_AVAILABLE = 1,
    D3D12_CPU_PAGE_PROPERTY_WRITE_COMBINE = 2,
    D3D12_CPU_PAGE_PROPERTY_WRITE_BACK = 3
};

enum D3D12_MEMORY_POOL { D3D12_MEMORY_POOL_UNKNOWN = 0, D3D12_MEMORY_POOL_L0 = 1, D3D12_MEMORY_POOL_L1 = 2 };

struct D3D12_HEAP_PROPERTIES {
    D3D12_HEAP_TYPE Type;
    D3D12_CPU_PAGE_PROPERTY CPUPageProperty;
    D3D12_MEMORY_POOL MemoryPoolPreference;
    UINT CreationNodeMask;
    UINT VisibleNodeMask;
};

enum D3D12_HEAP_FLAGS {
    D3D12_HEAP_FLAG_NONE = 0,
    D3D12_HEAP_FLAG_SHARED = 0x1,
    D3D12_HEAP_FLAG_DENY_BUFFERS = 0x4,
    D3D12_HEAP_FLAG_ALLOW_DISPLAY = 0x8,
    D3D12_HEAP_FLAG_SHARED_CROSS_ADAPTER = 0x20,
    D3D12_HEAP_FLAG_DENY_RT_DS_TEXTURES = 0x40,
    D3D12_HEAP_FLAG_DENY_NON_RT_DS_TEXTURES = 0x80,
    D3D12_HEAP_FLAG_ALLOW_ALL_BUFFERS_AND_TEXTURES = 0,
    D3D12_HEAP_FLAG_ALLOW_ONLY_BUFFERS = 0xc0,
    D3D12_HEAP_FLAG_ALLOW_ONLY_NON_RT_DS_TEXTURES = 0x44,
    D3D12_HEAP_FLAG_ALLOW_ONLY_RT_DS_TEXTURES = 0x84
};
DEFINE_ENUM_FLAG_OPERATORS(D3D12_HEAP_FLAGS)

struct D3D12_DEPTH_STENCIL_VALUE {
    FLOAT Depth;
    UINT8 Stencil;
};

struct D3D12_CLEAR_VALUE {
    DXGI_FORMAT Format;
    union {
        FLOAT Color[4];
        D3D12_DEPTH_STENCIL_VALUE DepthStencil;
    };
};

// Copies.
struct D3D12_SUBRESOURCE_FOOTPRINT {
    DXGI_FORMAT Format;
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT RowPitch;
};

struct D3D12_PLACED_SUBRESOURCE_FOOTPRINT {
    UINT64 Offset;
    D3D12_SUBRESOURCE_FOOTPRINT Footprint;
};

enum D3D12_TEXTURE_COPY_TYPE {
    D3D12_TEXTURE_COPY_TYPE_SUBRESOURCE_INDEX = 0,
    D3D12_TEXTURE_COPY_TYPE_PLACED_FOOTPRINT = 1
};

struct ID3D12Resource;

struct D3D12_TEXTURE_COPY_LOCATION {
    ID3D12Resource* pResource;
    D3D12_TEXTURE_COPY_TYPE Type;
    union {
        D3D12_PLACED_SUBRESOURCE_FOOTPRINT PlacedFootprint;
        UINT SubresourceIndex;
    };
};

// Barriers.
enum D3D12_RESOURCE_BARRIER_TYPE {
    D3D12_RESOURCE_BARRIER_TYPE_TRANSITION = 0,
    D3D12_RESOURCE_BARRIER_TYPE_ALIASING = 1,
    D3D12_RESOURCE_BARRIER_TYPE_UAV = 2
};

enum D3D12_RESOURCE_BARRIER_FLAGS {
    D3D12_RESOURCE_BARRIER_FLAG_NONE = 0,
    D3D12_RESOURCE_BARRIER_FLAG_BEGIN_ONLY = 0x1,
    D3D12_RESOURCE_BARRIER_FLAG_END_ONLY = 0x2
};
DEFINE_ENUM_FLAG_OPERATORS(D3D12_RESOURCE_BARRIER_FLAGS)

struct D3D12_RESOURCE_TRANSITION_BARRIER {
    ID3D12Resource* pResource;
    UINT Subresource;
    D3D12_RESOURCE_STATES StateBefore;
    D3D12_RESOURCE_STATES StateAfter;
};

struct D3D12_RESOURCE_ALIASING_BARRIER {
    ID3D12Resource* pResourceBefore;
    ID3D12Resource* pResourceAfter;
};

struct D3D12_RESOURCE_UAV_BARRIER {
    ID3D12Resource* pResource;
};

struct D3D12_RESOURCE_BARRIER {
    D3D12_RESOURCE_BARRIER_TYPE Type;
    D3D12_RESOURCE_BARRIER_FLAGS Flags;
    union {
        D3D12_RESOURCE_TRANSITION_BARRIER Transition;
        D3D12_RESOURCE_ALIASING_BARRIER Aliasing;
        D3D12_RESOURCE_UAV_BARRIER UAV;
    };
};

// Command queues and lists.
enum D3D12_COMMAND_LIST_TYPE {
    D3D12_COMMAND_LIST_TYPE_DIRECT = 0,
    D3D12_COMMAND_LIST_TYPE_BUNDLE = 1,
    D3D12_COMMAND_LIST_TYPE_COMPUTE = 2,
    D3D12_COMMAND_LIST_TYPE_COPY = 3
};

enum D3D12_COMMAND_QUEUE_PRIORITY {
    D3D12_COMMAND_QUEUE_PRIORITY_NORMAL = 0,
    D3D12_COMMAND_QUEUE_PRIORITY_HIGH = 100,
    D3D12_COMMAND_QUEUE_PRIORITY_GLOBAL_REALTIME = 10000
};

enum D3D12_COMMAND_QUEUE_FLAGS { D3D12_COMMAND_QUEUE_FLAG_NONE = 0, D3D12_COMMAND_QUEUE_FLAG_DISABLE_GPU_TIMEOUT = 0x1 };
DEFINE_ENUM_FLAG_OPERATORS(D3D12_COMMAND_QUEUE_FLAGS)

struct D3D12_COMMAND_QUEUE_DESC {
    D3D12_COMMAND_LIST_TYPE Type;
    INT Priority;
    D3D12_COMMAND_QUEUE_FLAGS Flags;
    UINT NodeMask;
};

enum D3D12_FENCE_FLAGS { D3D12_FENCE_FLAG_NONE = 0, D3D12_FENCE_FLAG_SHARED = 0x1, D3D12_FENCE_FLAG_SHARED_CROSS_ADAPTER = 0x2 };
DEFINE_ENUM_FLAG_OPERATORS(D3D12_FENCE_FLAGS)

// Descriptors and views.
enum D3D12_DESCRIPTOR_HEAP_TYPE {
    D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV = 0,
    D3D12_DESCRIPTOR_HEAP_TYPE_SAMPLER = 1,
    D3D12_DESCRIPTOR_HEAP_TYPE_RTV = 2,
    D3D12_DESCRIPTOR_HEAP_TYPE_DSV = 3,
    D3D12_DESCRIPTOR_HEAP_TYPE_NUM_TYPES = 4
};

enum D3D12_DESCRIPTOR_HEAP_FLAGS { D3D12_DESCRIPTOR_HEAP_FLAG_NONE = 0, D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE = 0x1 };
DEFINE_ENUM_FLAG_OPERATORS(D3D12_DESCRIPTOR_HEAP_FLAGS)

struct D3D12_DESCRIPTOR_HEAP_DESC {
    D3D12_DESCRIPTOR_HEAP_TYPE Type;
    UINT NumDescriptors;
    D3D12_DESCRIPTOR_HEAP_FLAGS Flags;
    UINT NodeMask;
};

struct D3D12_CPU_DESCRIPTOR_HANDLE {
    SIZE_T ptr;
};

struct D3D12_GPU_DESCRIPTOR_HANDLE {
    UINT64 ptr;
};

enum D3D12_SRV_DIMENSION {
    D3D12_SRV_DIMENSION_UNKNOWN = 0,
    D3D12_SRV_DIMENSION_BUFFER = 1,
    D3D12_SRV_DIMENSION_TEXTURE1D = 2,
    D3D12_SRV_DIMENSION_TEXTURE1DARRAY = 3,
    D3D12_SRV_DIMENSION_TEXTURE2D = 4,
    D3D12_SRV_DIMENSION_TEXTURE2DARRAY = 5,
    D3D12_SRV_DIMENSION_TEXTURE2DMS = 6,
    D3D12_SRV_DIMENSION_TEXTURE2DMSARRAY = 7,
    D3D12_SRV_DIMENSION_TEXTURE3D = 8,
    D3D12_SRV_DIMENSION_TEXTURECUBE = 9,
    D3D12_SRV_DIMENSION_TEXTURECUBEARRAY = 10
};

enum D3D12_BUFFER_SRV_FLAGS { D3D12_BUFFER_SRV_FLAG_NONE = 0, D3D12_BUFFER_SRV_FLAG_RAW = 0x1 };
DEFINE_ENUM_FLAG_OPERATORS(D3D12_BUFFER_SRV_FLAGS)

struct D3D12_BUFFER_SRV {
    UINT64 FirstElement;
    UINT NumElements;
    UINT StructureByteStride;
    D3D12_BUFFER_SRV_FLAGS Flags;
};

struct D3D12_TEX2D_SRV {
    UINT MostDetailedMip;
    UINT MipLevels;
    UINT PlaneSlice;
    FLOAT ResourceMinLODClamp;
};

struct D3D12_TEX2D_ARRAY_SRV {
    UINT MostDetailedMip;
    UINT MipLevels;
    UINT FirstArraySlice;
    UINT ArraySize;
    UINT PlaneSlice;
    FLOAT ResourceMinLODClamp;
};

struct D3D12_SHADER_RESOURCE_VIEW_DESC {
    DXGI_FORMAT Format;
    D3D12_SRV_DIMENSION ViewDimension;
    UINT Shader4ComponentMapping;
    union {
        D3D12_BUFFER_SRV Buffer;
        D3D12_TEX2D_SRV Texture2D;
        D3D12_TEX2D_ARRAY_SRV Texture2DArray;
    };
};

// Feature support.
enum D3D12_FEATURE {
    D3D12_FEATURE_D3D12_OPTIONS = 0,
    D3D12_FEATURE_ARCHITECTURE = 1,
    D3D12_FEATURE_FEATURE_LEVELS = 2,
    D3D12_FEATURE_FORMAT_SUPPORT = 3,
    D3D12_FEATURE_MULTISAMPLE_QUALITY_LEVELS = 4,
    D3D12_FEATURE_FORMAT_INFO = 5
};

enum D3D12_FORMAT_SUPPORT1 {
    D3D12_FORMAT_SUPPORT1_NONE = 0,
    D3D12_FORMAT_SUPPORT1_BUFFER = 0x1,
    D3D12_FORMAT_SUPPORT1_TEXTURE2D = 0x20,
    D3D12_FORMAT_SUPPORT1_SHADER_LOAD = 0x100,
    D3D12_FORMAT_SUPPORT1_SHADER_SAMPLE = 0x200,
    D3D12_FORMAT_SUPPORT1_MIP = 0x1000,
    D3D12_FORMAT_SUPPORT1_RENDER_TARGET = 0x4000,
    D3D12_FORMAT_SUPPORT1_BLENDABLE = 0x8000,
    D3D12_FORMAT_SUPPORT1_DISPLAY = 0x80000
};
DEFINE_ENUM_FLAG_OPERATORS(D3D12_FORMAT_SUPPORT1)

enum D3D12_FORMAT_SUPPORT2 { D3D12_FORMAT_SUPPORT2_NONE = 0 };
DEFINE_ENUM_FLAG_OPERATORS(D3D12_FORMAT_SUPPORT2)

struct D3D12_FEATURE_DATA_FORMAT_SUPPORT {
    DXGI_FORMAT Format;
    D3D12_FORMAT_SUPPORT1 Support1;
    D3D12_FORMAT_SUPPORT2 Support2;
};

// Interfaces.
struct ID3D12Object : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, UINT* dataSize, void* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, UINT dataSize, const void* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID guid, const IUnknown* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetName(LPCWSTR name) = 0;
};
WINSIM_INTERFACE(ID3D12Object, IUnknown, "c4fec28f-7966-4e95-9f94-f431cb56c3b8")

struct ID3D12DeviceChild : ID3D12Object {
    virtual HRESULT STDMETHODCALLTYPE GetDevice(REFIID riid, void** device) = 0;
};
WINSIM_INTERFACE(ID3D12DeviceChild, ID3D12Object, "905db94b-a00c-4140-9df5-2b64ca9ea357")

struct ID3D12Pageable : ID3D12DeviceChild {};
WINSIM_INTERFACE(ID3D12Pageable, ID3D12DeviceChild, "63ee58fb-1268-4835-86da-f008ce62f0d6")

struct ID3D12Resource : ID3D12Pageable {
    virtual HRESULT STDMETHODCALLTYPE Map(UINT subresource, const D3D12_RANGE* readRange, void** data) = 0;
    virtual void STDMETHODCALLTYPE Unmap(UINT subresource, const D3D12_RANGE* writtenRange) = 0;
    virtual D3D12_RESOURCE_DESC STDMETHODCALLTYPE GetDesc() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHeapProperties(D3D12_HEAP_PROPERTIES* properties, D3D12_HEAP_FLAGS* flags) = 0;
};
WINSIM_INTERFACE(ID3D12Resource, ID3D12Pageable, "696442be-a72e-4059-bc79-5b5c98040fad")

struct ID3D12Fence : ID3D12Pageable {
    virtual UINT64 STDMETHODCALLTYPE GetCompletedValue() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetEventOnCompletion(UINT64 value, HANDLE event) = 0;
    virtual HRESULT STDMETHODCALLTYPE Signal(UINT64 value) = 0;
};
WINSIM_INTERFACE(ID3D12Fence, ID3D12Pageable, "0a753dcf-c4d8-4b91-adf6-be5a60d95a76")

struct ID3D12PipelineState : ID3D12Pageable {};
WINSIM_INTERFACE(ID3D12PipelineState, ID3D12Pageable, "765a30f3-f624-4c6f-a828-ace948622445")

struct ID3D12DescriptorHeap : ID3D12Pageable {
    virtual D3D12_DESCRIPTOR_HEAP_DESC STDMETHODCALLTYPE GetDesc() = 0;
    virtual D3D12_CPU_DESCRIPTOR_HANDLE STDMETHODCALLTYPE GetCPUDescriptorHandleForHeapStart() = 0;
    virtual D3D12_GPU_DESCRIPTOR_HANDLE STDMETHODCALLTYPE GetGPUDescriptorHandleForHeapStart() = 0;
};
WINSIM_INTERFACE(ID3D12DescriptorHeap, ID3D12Pageable, "8efb471d-616c-4f49-90f7-127bb763fa51")

struct ID3D12CommandAllocator : ID3D12Pageable {
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
};
WINSIM_INTERFACE(ID3D12CommandAllocator, ID3D12Pageable, "6102dee4-af59-4b09-b999-b44d73f09b24")

struct ID3D12CommandList : ID3D12DeviceChild {
    virtual D3D12_COMMAND_LIST_TYPE STDMETHODCALLTYPE GetType() = 0;
};
WINSIM_INTERFACE(ID3D12CommandList, ID3D12DeviceChild, "7116d91c-e7e4-47ce-b8c6-ec8168f437e5")

struct ID3D12GraphicsCommandList : ID3D12CommandList {
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset(ID3D12CommandAllocator* allocator, ID3D12PipelineState* initialState) = 0;
    virtual void STDMETHODCALLTYPE CopyBufferRegion(ID3D12Resource* dst, UINT64 dstOffset, ID3D12Resource* src,
                                                    UINT64 srcOffset, UINT64 numBytes) = 0;
    virtual void STDMETHODCALLTYPE CopyTextureRegion(const D3D12_TEXTURE_COPY_LOCATION* dst, UINT dstX, UINT dstY,
                                                     UINT dstZ, const D3D12_TEXTURE_COPY_LOCATION* src,
                                                     const D3D12_BOX* srcBox) = 0;
    virtual void STDMETHODCALLTYPE CopyResource(ID3D12Resource* dst, ID3D12Resource* src) = 0;
    virtual void STDMETHODCALLTYPE ResourceBarrier(UINT numBarriers, const D3D12_RESOURCE_BARRIER* barriers) = 0;
};
WINSIM_INTERFACE(ID3D12GraphicsCommandList, ID3D12CommandList, "5b160d0f-ac1b-4185-8ba8-b3ae42a5a455")

struct ID3D12CommandQueue : ID3D12Pageable {
    virtual void STDMETHODCALLTYPE ExecuteCommandLists(UINT numCommandLists, ID3D12CommandList* const* commandLists) = 0;
    virtual HRESULT STDMETHODCALLTYPE Signal(ID3D12Fence* fence, UINT64 value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Wait(ID3D12Fence* fence, UINT64 value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTimestampFrequency(UINT64* frequency) = 0;
    virtual D3D12_COMMAND_QUEUE_DESC STDMETHODCALLTYPE GetDesc() = 0;
};
WINSIM_INTERFACE(ID3D12CommandQueue, ID3D12Pageable, "0ec870a6-5d7e-4c22-8cfc-5baae07616ed")

struct ID3D12Device : ID3D12Object {
    virtual UINT STDMETHODCALLTYPE GetNodeCount() = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateCommandQueue(const D3D12_COMMAND_QUEUE_DESC* desc, REFIID riid,
                                                         void** queue) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE type, REFIID riid,
                                                             void** allocator) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateCommandList(UINT nodeMask, D3D12_COMMAND_LIST_TYPE type,
                                                        ID3D12CommandAllocator* allocator,
                                                        ID3D12PipelineState* initialState, REFIID riid,
                                                        void** commandList) = 0;
    virtual HRESULT STDMETHODCALLTYPE CheckFeatureSupport(D3D12_FEATURE feature, void* data, UINT dataSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDescriptorHeap(const D3D12_DESCRIPTOR_HEAP_DESC* desc, REFIID riid,
                                                           void** heap) = 0;
    virtual UINT STDMETHODCALLTYPE GetDescriptorHandleIncrementSize(D3D12_DESCRIPTOR_HEAP_TYPE type) = 0;
    virtual void STDMETHODCALLTYPE CreateShaderResourceView(ID3D12Resource* resource,
                                                            const D3D12_SHADER_RESOURCE_VIEW_DESC* desc,
                                                            D3D12_CPU_DESCRIPTOR_HANDLE destination) = 0;
    virtual D3D12_RESOURCE_ALLOCATION_INFO STDMETHODCALLTYPE GetResourceAllocationInfo(
        UINT visibleMask, UINT numResourceDescs, const D3D12_RESOURCE_DESC* resourceDescs) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateCommittedResource(const D3D12_HEAP_PROPERTIES* heapProperties,
                                                              D3D12_HEAP_FLAGS heapFlags,
                                                              const D3D12_RESOURCE_DESC* desc,
                                                              D3D12_RESOURCE_STATES initialState,
                                                              const D3D12_CLEAR_VALUE* optimizedClearValue,
                                                              REFIID riid, void** resource) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenSharedHandle(HANDLE handle, REFIID riid, void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateFence(UINT64 initialValue, D3D12_FENCE_FLAGS flags, REFIID riid,
                                                  void** fence) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceRemovedReason() = 0;
    virtual void STDMETHODCALLTYPE GetCopyableFootprints(const D3D12_RESOURCE_DESC* desc, UINT firstSubresource,
                                                         UINT numSubresources, UINT64 baseOffset,
                                                         D3D12_PLACED_SUBRESOURCE_FOOTPRINT* layouts, UINT* numRows,
                                                         UINT64* rowSizeInBytes, UINT64* totalBytes) = 0;
    virtual LUID STDMETHODCALLTYPE GetAdapterLuid() = 0;
};
WINSIM_INTERFACE(ID3D12Device, ID3D12Object, "189819f1-1db6-4b57-be54-1821339b85f7")

HRESULT WINAPI D3D12CreateDevice(IUnknown* adapter, D3D_FEATURE_LEVEL minimumFeatureLevel, REFIID riid,
                                 void** device);
HRESULT WINAPI D3D12GetDebugInterface(REFIID riid, void** debug);
