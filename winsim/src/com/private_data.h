// Application data attached to an object by GUID (SetPrivateData, SetPrivateDataInterface,
// GetPrivateData, SetName), as DXGI, Direct3D 11 and Direct3D 12 objects keep it. A debug name
// (WKPDID_D3DDebugObjectName, narrow or wide) is also known to winsim's leak report while the
// object lives.
#pragma once
#include <mutex>
#include <string>
#include <vector>

#include <unknwn.h>
#include <wrl/client.h>

namespace winsim::com {

class PrivateData {
public:
    explicit PrivateData(const char* kind) : kind_(kind) {}
    PrivateData(const PrivateData&) = delete;
    PrivateData& operator=(const PrivateData&) = delete;
    ~PrivateData();

    // A null or empty value removes the entry.
    HRESULT set(REFGUID guid, UINT size, const void* data);
    // Holds a reference to the object until it is replaced or the owner goes.
    HRESULT setInterface(REFGUID guid, const IUnknown* object);
    // A null `data` asks for the size; a short buffer gets DXGI_ERROR_MORE_DATA.
    HRESULT get(REFGUID guid, UINT* size, void* data) const;
    HRESULT setName(LPCWSTR name);
    // The debug name as UTF-8, empty if none was given.
    std::string name() const;

private:
    struct Entry {
        GUID guid;
        std::vector<unsigned char> bytes;
        Microsoft::WRL::ComPtr<IUnknown> object;
    };
    Entry* find(REFGUID guid);
    void store(Entry entry);
    std::string label() const;
    void publishName();

    const char* kind_;
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

// The debug names of live objects, "kind 'name'", for the leak report.
std::vector<std::string> liveNames();

}  // namespace winsim::com
