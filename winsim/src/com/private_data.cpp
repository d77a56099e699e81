#include "com/private_data.h"

#include <d3dcommon.h>

#include <algorithm>
#include <cstring>

namespace winsim::com {

void noteName(const void* owner, std::string label);
void forgetName(const void* owner);

namespace {
std::string narrow(const wchar_t* text, size_t length) {
    std::string out;
    for (size_t i = 0; i < length && text[i]; ++i) {
        const auto c = static_cast<uint32_t>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xc0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else {
            out += static_cast<char>(0xe0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    return out;
}
}  // namespace

PrivateData::~PrivateData() { forgetName(this); }

PrivateData::Entry* PrivateData::find(REFGUID guid) {
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return IsEqualGUID(e.guid, guid); });
    return it == entries_.end() ? nullptr : &*it;
}

void PrivateData::store(Entry entry) {
    std::erase_if(entries_, [&](const Entry& e) { return IsEqualGUID(e.guid, entry.guid); });
    if (!entry.bytes.empty()) entries_.push_back(std::move(entry));
    publishName();
}

HRESULT PrivateData::set(REFGUID guid, UINT size, const void* data) {
    if (size && !data) return E_INVALIDARG;
    Entry entry{guid, {}, nullptr};
    if (data) entry.bytes.assign(static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + size);
    std::lock_guard lock(mutex_);
    store(std::move(entry));
    return S_OK;
}

HRESULT PrivateData::setInterface(REFGUID guid, const IUnknown* object) {
    Entry entry{guid, {}, const_cast<IUnknown*>(object)};
    if (object) {  // a null object removes the entry: no bytes to copy (memcpy takes no null pointer)
        entry.bytes.resize(sizeof(IUnknown*));
        std::memcpy(entry.bytes.data(), &object, entry.bytes.size());
    }
    std::lock_guard lock(mutex_);
    store(std::move(entry));
    return S_OK;
}

HRESULT PrivateData::get(REFGUID guid, UINT* size, void* data) const {
    if (!size) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    const Entry* entry = const_cast<PrivateData*>(this)->find(guid);
    if (!entry) {
        *size = 0;
        return DXGI_ERROR_NOT_FOUND;
    }
    const UINT stored = static_cast<UINT>(entry->bytes.size());
    if (!data) {
        *size = stored;
        return S_OK;
    }
    if (*size < stored) {
        *size = stored;
        return DXGI_ERROR_MORE_DATA;
    }
    std::memcpy(data, entry->bytes.data(), stored);
    if (entry->object) entry->object->AddRef();  // the caller owns the reference it was given
    *size = stored;
    return S_OK;
}

HRESULT PrivateData::setName(LPCWSTR name) {
    if (!name) return set(WKPDID_D3DDebugObjectNameW, 0, nullptr);
    return set(WKPDID_D3DDebugObjectNameW, static_cast<UINT>(std::wcslen(name) * sizeof(wchar_t)), name);
}

std::string PrivateData::name() const {
    std::lock_guard lock(mutex_);
    return label();
}

std::string PrivateData::label() const {
    auto* self = const_cast<PrivateData*>(this);
    if (const Entry* wide = self->find(WKPDID_D3DDebugObjectNameW))
        return narrow(reinterpret_cast<const wchar_t*>(wide->bytes.data()), wide->bytes.size() / sizeof(wchar_t));
    if (const Entry* text = self->find(WKPDID_D3DDebugObjectName)) {
        std::string out(text->bytes.begin(), text->bytes.end());
        return out.substr(0, out.find('\0'));
    }
    return {};
}

void PrivateData::publishName() {
    const std::string given = label();
    if (given.empty()) return forgetName(this);
    noteName(this, std::string(kind_) + " '" + given + "'");
}

}  // namespace winsim::com
