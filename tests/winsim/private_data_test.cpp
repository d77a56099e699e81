// Private data on DXGI and Direct3D 11 objects, as Windows code names and tags them: the debug
// name appears in winsim's leak report while the object lives, data is found through any of the
// object's interfaces, short buffers and missing entries answer as documented, and an attached
// interface is held until it is replaced or its holder goes.
#include <cstring>
#include <string>

#include "d3d11_support.h"

namespace {

// {6f1c7a2e-3b4d-4c5e-8f9a-0b1c2d3e4f50}
const GUID kTag{0x6f1c7a2e, 0x3b4d, 0x4c5e, {0x8f, 0x9a, 0x0b, 0x1c, 0x2d, 0x3e, 0x4f, 0x50}};

class PrivateDataTest : public D3D11Test {};

TEST_F(PrivateDataTest, DebugNameIsReportedWhileTheObjectLives) {
    ComPtr<ID3D11Texture2D> t = texture(desc(16, 16));
    const char name[] = "ring slot 1";
    ASSERT_EQ(t->SetPrivateData(WKPDID_D3DDebugObjectName, sizeof(name) - 1, name), S_OK);
    EXPECT_NE(winsim::leakReport().find("ID3D11Texture2D 'ring slot 1'"), std::string::npos) << winsim::leakReport();
    char back[32] = {};
    UINT size = sizeof(back);
    ASSERT_EQ(t->GetPrivateData(WKPDID_D3DDebugObjectName, &size, back), S_OK);
    EXPECT_EQ(std::string(back, size), "ring slot 1");
    t.Reset();
    EXPECT_EQ(winsim::leakReport().find("ring slot 1"), std::string::npos) << winsim::leakReport();
}

TEST_F(PrivateDataTest, DataIsSharedByEveryInterfaceOfTheObject) {
    ComPtr<ID3D11Texture2D> t = texture(desc(16, 16));
    const uint32_t value = 0xfeedf00d;
    ASSERT_EQ(t->SetPrivateData(kTag, sizeof(value), &value), S_OK);
    ComPtr<IDXGIResource> resource;
    ASSERT_EQ(t.As(&resource), S_OK);
    uint32_t back = 0;
    UINT size = sizeof(back);
    ASSERT_EQ(resource->GetPrivateData(kTag, &size, &back), S_OK);
    EXPECT_EQ(back, value);
    UINT wanted = 0;
    ASSERT_EQ(device->SetPrivateData(kTag, sizeof(value), &value), S_OK);  // the device keeps its own
    ASSERT_EQ(device->GetPrivateData(kTag, &wanted, nullptr), S_OK);
    EXPECT_EQ(wanted, sizeof(value));
}

TEST_F(PrivateDataTest, ShortBuffersMissingEntriesAndRemoval) {
    ComPtr<ID3D11Texture2D> t = texture(desc(16, 16));
    const char data[] = "twelve bytes";
    ASSERT_EQ(t->SetPrivateData(kTag, 12, data), S_OK);
    char small[4];
    UINT size = sizeof(small);
    EXPECT_EQ(t->GetPrivateData(kTag, &size, small), DXGI_ERROR_MORE_DATA);
    EXPECT_EQ(size, 12u);
    ASSERT_EQ(t->SetPrivateData(kTag, 0, nullptr), S_OK);  // removes the entry
    size = sizeof(small);
    EXPECT_EQ(t->GetPrivateData(kTag, &size, small), DXGI_ERROR_NOT_FOUND);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(t->SetPrivateData(kTag, 4, nullptr), E_INVALIDARG);
    EXPECT_EQ(t->GetPrivateData(kTag, nullptr, small), E_INVALIDARG);
}

TEST_F(PrivateDataTest, AnAttachedInterfaceIsHeldAndHandedOutWithAReference) {
    ComPtr<ID3D11Texture2D> holder = texture(desc(16, 16));
    ComPtr<ID3D11Texture2D> attached = texture(desc(8, 8));
    ASSERT_EQ(holder->SetPrivateDataInterface(kTag, attached.Get()), S_OK);
    ID3D11Texture2D* raw = attached.Get();
    attached.Reset();  // the holder keeps it alive
    IUnknown* back = nullptr;
    UINT size = sizeof(back);
    ASSERT_EQ(holder->GetPrivateData(kTag, &size, &back), S_OK);
    ASSERT_EQ(size, sizeof(back));
    ComPtr<ID3D11Texture2D> again;
    ASSERT_EQ(back->QueryInterface(IID_PPV_ARGS(&again)), S_OK);
    EXPECT_EQ(again.Get(), raw);
    back->Release();
    again.Reset();
    ASSERT_EQ(holder->SetPrivateDataInterface(kTag, nullptr), S_OK);  // drops the last reference
    holder.Reset();
}

}  // namespace
