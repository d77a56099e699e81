// ComPtr and IID_PPV_ARGS as Windows code uses them: `&p` as an out-parameter, As, CopyTo,
// Attach/Detach/Swap, comparisons and __uuidof on types and expressions. Written as it would be
// for the real SDK; only the live-object counts come from winsim's control API.
#include <dxgi1_6.h>
#include <wrl/client.h>

#include <map>
#include <type_traits>

#include "support/winsim_fixture.h"

using Microsoft::WRL::ComPtr;

namespace {

class ComPtrTest : public WinsimTest {};

TEST_F(ComPtrTest, AddressOfReleasesWhatWasHeldBeforeTheCallFillsIt) {
    ComPtr<IDXGIFactory1> factory;
    ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(&factory)), S_OK);
    ComPtr<IDXGIAdapter1> adapter;
    ASSERT_EQ(factory->EnumAdapters1(0, &adapter), S_OK);
    const int64_t live = winsim::liveObjectCount();
    for (int i = 0; i < 3; ++i) ASSERT_EQ(factory->EnumAdapters1(0, &adapter), S_OK);  // each call drops the last
    EXPECT_EQ(winsim::liveObjectCount(), live);
    ComPtr<IDXGIOutput> output;
    ASSERT_EQ(adapter->EnumOutputs(0, &output), S_OK);
    EXPECT_EQ(adapter->EnumOutputs(99, &output), DXGI_ERROR_NOT_FOUND);
    EXPECT_FALSE(output);  // released before the call, left empty by the failure
    ASSERT_EQ(factory->EnumAdapters1(0, &adapter), S_OK);
    ASSERT_EQ(adapter->QueryInterface(IID_PPV_ARGS(&output)), E_NOINTERFACE);
    EXPECT_EQ(output, nullptr);
    adapter.Reset();
    factory.Reset();
    EXPECT_EQ(winsim::liveObjectCount(), 0) << winsim::leakReport();
}

TEST_F(ComPtrTest, AsAndCopyToQueryAndCountReferences) {
    ComPtr<IDXGIFactory1> factory;
    ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(&factory)), S_OK);
    ComPtr<IDXGIAdapter1> adapter;
    ASSERT_EQ(factory->EnumAdapters1(0, &adapter), S_OK);

    ComPtr<IDXGIAdapter3> adapter3;
    ASSERT_EQ(adapter.As(&adapter3), S_OK);
    ComPtr<IDXGIAdapter> base;
    ASSERT_EQ(adapter3.As(&base), S_OK);
    EXPECT_EQ(base, adapter);  // the one object behind every interface
    ComPtr<IDXGIOutput> notAnAdapter;
    EXPECT_EQ(adapter.As(&notAnAdapter), E_NOINTERFACE);
    EXPECT_EQ(notAnAdapter, nullptr);

    ComPtr<IUnknown> unknown1, unknown2;
    ASSERT_EQ(adapter.AsIID(__uuidof(IUnknown), &unknown1), S_OK);
    ASSERT_EQ(adapter3.As(&unknown2), S_OK);
    EXPECT_EQ(unknown1, unknown2);  // IUnknown identity

    adapter->AddRef();
    const ULONG held = adapter->Release();  // the references the ComPtrs hold
    IDXGIAdapter1* raw = nullptr;
    ASSERT_EQ(adapter.CopyTo(&raw), S_OK);
    IDXGIAdapter2* raw2 = nullptr;
    ASSERT_EQ(adapter.CopyTo(&raw2), S_OK);
    void* rawVoid = nullptr;
    ASSERT_EQ(adapter.CopyTo(__uuidof(IDXGIAdapter), &rawVoid), S_OK);
    // Each CopyTo handed out one reference of its own.
    EXPECT_EQ(raw->Release(), held + 2);
    EXPECT_EQ(raw2->Release(), held + 1);
    EXPECT_EQ(static_cast<IDXGIAdapter*>(rawVoid)->Release(), held);
}

TEST_F(ComPtrTest, AttachDetachSwapAndComparisons) {
    ComPtr<IDXGIFactory1> factory;
    ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(&factory)), S_OK);
    ComPtr<IDXGIAdapter1> a, b;
    ASSERT_EQ(factory->EnumAdapters1(0, &a), S_OK);
    EXPECT_TRUE(a);
    EXPECT_FALSE(b);
    EXPECT_NE(a, b);
    EXPECT_TRUE(b == nullptr && nullptr == b && a != nullptr);

    IDXGIAdapter1* raw = a.Detach();
    EXPECT_FALSE(a);
    b.Attach(raw);  // takes the reference over without adding one
    a.Swap(b);
    EXPECT_EQ(a.Get(), raw);
    EXPECT_FALSE(b);

    ComPtr<IDXGIAdapter> widened = a;  // a derived interface converts to its base
    EXPECT_EQ(widened, a);
#ifndef __MINGW32__  // mingw-w64's WRL lacks the ordering the Windows SDK's has
    std::map<ComPtr<IDXGIAdapter1>, int> byPointer{{a, 1}};  // ordered, as containers need
    EXPECT_EQ(byPointer.count(a), 1u);
#endif
    ComPtr<IDXGIAdapter> moved = std::move(a);
    EXPECT_FALSE(a);
    EXPECT_EQ(moved, widened);
}

// A ComPtr is tested as a pointer is: it converts to bool wherever a bool is wanted, and to no
// integer or pointer.
static_assert(std::is_convertible_v<ComPtr<IDXGIAdapter>, bool>);
static_assert(!std::is_convertible_v<ComPtr<IDXGIAdapter>, int>);
static_assert(!std::is_convertible_v<ComPtr<IDXGIAdapter>, long long>);
static_assert(!std::is_convertible_v<ComPtr<IDXGIAdapter>, double>);
static_assert(!std::is_convertible_v<ComPtr<IDXGIAdapter>, void*>);
static_assert(!std::is_convertible_v<ComPtr<IDXGIAdapter>, IDXGIAdapter*>);
static_assert(!std::is_constructible_v<int, ComPtr<IDXGIAdapter>>);
static_assert(!std::is_constructible_v<IUnknown*, ComPtr<IDXGIAdapter>>);

int countIfHeld(bool held) { return held ? 1 : 0; }

TEST_F(ComPtrTest, TestsAsABooleanAsWindowsCodeWritesIt) {
    ComPtr<IDXGIFactory1> factory;
    ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(&factory)), S_OK);
    ComPtr<IDXGIAdapter1> held, empty;
    ASSERT_EQ(factory->EnumAdapters1(0, &held), S_OK);

    bool ok = held;
    const bool none = empty;
    EXPECT_TRUE(ok);
    EXPECT_FALSE(none);
    EXPECT_TRUE(held && factory);
    EXPECT_FALSE(held && empty);
    EXPECT_TRUE(empty || held);
    EXPECT_TRUE(!empty);
    EXPECT_FALSE(!held);
    EXPECT_EQ(held ? 1 : 2, 1);
    EXPECT_EQ(empty ? 1 : 2, 2);
    EXPECT_EQ(countIfHeld(held) + countIfHeld(empty), 1);
    if (!empty) ok = false;
    EXPECT_FALSE(ok);

    // Comparisons keep comparing pointers, not truth values: two held ComPtrs of different
    // objects are unequal though both test true.
    ComPtr<IDXGIFactory1> otherFactory;
    ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(&otherFactory)), S_OK);
    ComPtr<IDXGIAdapter1> other;
    ASSERT_EQ(otherFactory->EnumAdapters1(0, &other), S_OK);
    EXPECT_TRUE(held && other);
    EXPECT_NE(held.Get(), other.Get());
    EXPECT_FALSE(held == other);
    EXPECT_TRUE(held != other);
    EXPECT_TRUE(empty == nullptr && held != nullptr);
}

TEST(Uuidof, NamesTheInterfaceOfATypeOrAnExpression) {
    IDXGIAdapter1* pointer = nullptr;
    ComPtr<IDXGIOutput6> output;
    EXPECT_EQ(__uuidof(pointer), __uuidof(IDXGIAdapter1));
    EXPECT_EQ(__uuidof(*pointer), __uuidof(IDXGIAdapter1));
    EXPECT_EQ(__uuidof(output.Get()), __uuidof(IDXGIOutput6));
    EXPECT_FALSE(__uuidof(IDXGIAdapter1) == __uuidof(IDXGIAdapter));
}

}  // namespace
