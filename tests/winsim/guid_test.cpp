// Interface IDs as the SDK documents them: __uuidof and IID_* agree with the published values,
// and DEFINE_GUID after initguid.h defines a GUID that other files only declare.
#include <initguid.h>

#include <d3d11_4.h>
#include <d3d12.h>
#include <dxgi1_6.h>
#include <gtest/gtest.h>

// An application's own GUID, defined here because initguid.h came first.
DEFINE_GUID(GUID_TestPrivateData, 0x1a2b3c4d, 0x5e6f, 0x7081, 0x92, 0xa3, 0xb4, 0xc5, 0xd6, 0xe7, 0xf8, 0x09);

namespace {

TEST(InterfaceIds, AreTheDocumentedValues) {
    const GUID device12{0x189819f1, 0x1db6, 0x4b57, {0xbe, 0x54, 0x18, 0x21, 0x33, 0x9b, 0x85, 0xf7}};
    EXPECT_TRUE(IsEqualIID(__uuidof(ID3D12Device), device12));
    const GUID unknown{0, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
    EXPECT_TRUE(IsEqualIID(IID_IUnknown, unknown));
    const GUID output6{0x068346e8, 0xaaec, 0x4b84, {0xad, 0xd7, 0x13, 0x7f, 0x51, 0x3f, 0x77, 0xa1}};
    EXPECT_TRUE(IsEqualIID(IID_IDXGIOutput6, output6));
}

TEST(InterfaceIds, ConstantsMatchUuidofAndDifferAcrossInterfaces) {
    EXPECT_TRUE(IsEqualIID(IID_ID3D11Device, __uuidof(ID3D11Device)));
    EXPECT_TRUE(IsEqualIID(IID_ID3D11Texture2D, __uuidof(ID3D11Texture2D)));
    EXPECT_TRUE(IsEqualIID(IID_IDXGIFactory1, __uuidof(IDXGIFactory1)));
    EXPECT_FALSE(IsEqualIID(IID_IDXGIFactory1, IID_IDXGIFactory));
    EXPECT_FALSE(IsEqualIID(IID_ID3D11Device5, IID_ID3D11Device4));
}

TEST(InterfaceIds, DefineGuidAfterInitguidDefinesTheValue) {
    EXPECT_EQ(GUID_TestPrivateData.Data1, 0x1a2b3c4du);
    EXPECT_EQ(GUID_TestPrivateData.Data2, 0x5e6f);
    EXPECT_EQ(GUID_TestPrivateData.Data4[7], 0x09);
}

}  // namespace
