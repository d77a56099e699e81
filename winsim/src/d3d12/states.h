// Resource states as the runtime tracks them for its debug layer: each resource's subresources
// have a state between command lists, and each command list records, per subresource it
// touches, what it expects to find there and what it leaves behind. ExecuteCommandLists checks
// the expectations and applies the results.
#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <d3d12.h>

namespace winsim::d3d12 {

// A resource's states, shared with the command lists that touch it.
class ResourceStates {
public:
    // `anyPromotion`: buffers and simultaneous-access textures, which are promoted from COMMON
    // to any state and decay back to COMMON when the work that used them is done.
    ResourceStates(UINT subresources, D3D12_RESOURCE_STATES initial, bool anyPromotion)
        : states_(subresources, initial), anyPromotion_(anyPromotion) {}

    UINT count() const { return static_cast<UINT>(states_.size()); }
    bool anyPromotion() const { return anyPromotion_; }
    D3D12_RESOURCE_STATES get(UINT subresource) const;
    void set(UINT subresource, D3D12_RESOURCE_STATES state);

private:
    mutable std::mutex mutex_;
    std::vector<D3D12_RESOURCE_STATES> states_;
    const bool anyPromotion_;
};

// What a subresource may be in for an access that needs `required` (COPY_SOURCE, COPY_DEST):
// that state, or COMMON where the access promotes it implicitly.
bool reachable(D3D12_RESOURCE_STATES from, D3D12_RESOURCE_STATES required);

// One command list's view of the states it touches.
class StateTracker {
public:
    // Reports misuse to the debug layer only when `validate` (the device has the debug layer).
    explicit StateTracker(bool validate) : validate_(validate) {}

    void transition(const std::shared_ptr<ResourceStates>& resource, UINT subresource, D3D12_RESOURCE_STATES before,
                    D3D12_RESOURCE_STATES after);
    // An access (a copy) that needs `required` of one subresource.
    void use(const char* call, const std::shared_ptr<ResourceStates>& resource, UINT subresource,
             D3D12_RESOURCE_STATES required);
    // At ExecuteCommandLists: checks what the list expects against the resources' states and
    // leaves them as the list does (with the documented decay to COMMON).
    void apply(bool copyQueue) const;
    void clear() { touched_.clear(); }

private:
    struct Touch {
        std::shared_ptr<ResourceStates> resource;
        bool startsWithBarrier = false;
        D3D12_RESOURCE_STATES expected{};  // the barrier's StateBefore, or the state the first use needs
        D3D12_RESOURCE_STATES current{};
        bool currentKnown = false;    // false while the list has only used it: its state comes from before
        bool promotedToRead = false;  // reached its state by an implicit promotion to a read state
    };
    Touch* find(const std::shared_ptr<ResourceStates>& resource, UINT subresource);
    void report(const char* call, const std::string& reason) const;

    const bool validate_;
    std::map<std::pair<const ResourceStates*, UINT>, Touch> touched_;
};

std::string stateName(D3D12_RESOURCE_STATES state);

}  // namespace winsim::d3d12
