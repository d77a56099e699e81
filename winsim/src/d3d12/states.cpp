#include "d3d12/states.h"

#include <cstdio>

#include "debug/layer.h"

namespace winsim::d3d12 {
namespace {
constexpr const char* kBarrier = "ID3D12GraphicsCommandList::ResourceBarrier";
constexpr const char* kExecute = "ID3D12CommandQueue::ExecuteCommandLists";

bool readOnly(D3D12_RESOURCE_STATES state) {
    return state != D3D12_RESOURCE_STATE_COMMON && (state & ~D3D12_RESOURCE_STATE_GENERIC_READ) == 0;
}
}  // namespace

D3D12_RESOURCE_STATES ResourceStates::get(UINT subresource) const {
    std::lock_guard lock(mutex_);
    return states_.at(subresource);
}

void ResourceStates::set(UINT subresource, D3D12_RESOURCE_STATES state) {
    std::lock_guard lock(mutex_);
    states_.at(subresource) = state;
}

bool reachable(D3D12_RESOURCE_STATES from, D3D12_RESOURCE_STATES required) {
    // Every texture is promoted from COMMON to the copy states, and buffers and simultaneous-access
    // textures to any state, so a copy may always start from COMMON.
    if (from == D3D12_RESOURCE_STATE_COMMON) return true;
    return (from & required) == required;
}

std::string stateName(D3D12_RESOURCE_STATES state) {
    switch (state) {
        case D3D12_RESOURCE_STATE_COMMON: return "COMMON";
        case D3D12_RESOURCE_STATE_RENDER_TARGET: return "RENDER_TARGET";
        case D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE: return "PIXEL_SHADER_RESOURCE";
        case D3D12_RESOURCE_STATE_COPY_DEST: return "COPY_DEST";
        case D3D12_RESOURCE_STATE_COPY_SOURCE: return "COPY_SOURCE";
        case D3D12_RESOURCE_STATE_GENERIC_READ: return "GENERIC_READ";
        default: {
            char text[16];
            std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(state));
            return text;
        }
    }
}

StateTracker::Touch* StateTracker::find(const std::shared_ptr<ResourceStates>& resource, UINT subresource) {
    auto it = touched_.find({resource.get(), subresource});
    return it == touched_.end() ? nullptr : &it->second;
}

void StateTracker::report(const char* call, const std::string& reason) const {
    if (validate_) debug::message(call, reason);
}

void StateTracker::transition(const std::shared_ptr<ResourceStates>& resource, UINT subresource,
                              D3D12_RESOURCE_STATES before, D3D12_RESOURCE_STATES after) {
    if (before == after) report(kBarrier, "StateBefore and StateAfter are both " + stateName(before));
    Touch* touch = find(resource, subresource);
    if (!touch) {
        touched_[{resource.get(), subresource}] = Touch{resource, true, before, after, true, false};
        return;
    }
    if (touch->currentKnown && touch->current != before)
        report(kBarrier, "StateBefore is " + stateName(before) + " but subresource " + std::to_string(subresource) +
                             " is in " + stateName(touch->current));
    touch->current = after;
    touch->currentKnown = true;
    touch->promotedToRead = false;
}

void StateTracker::use(const char* call, const std::shared_ptr<ResourceStates>& resource, UINT subresource,
                       D3D12_RESOURCE_STATES required) {
    Touch* touch = find(resource, subresource);
    if (!touch) {
        touched_[{resource.get(), subresource}] = Touch{resource, false, required, required, false, false};
        return;
    }
    if (!touch->currentKnown) return;  // what the list started from is checked when it runs
    if (!reachable(touch->current, required)) {
        report(call, "subresource " + std::to_string(subresource) + " is in " + stateName(touch->current) + ", not " +
                         stateName(required));
    } else if (touch->current == D3D12_RESOURCE_STATE_COMMON) {
        touch->current = required;
        touch->promotedToRead = readOnly(required);
    }
}

void StateTracker::apply(bool copyQueue) const {
    for (const auto& [key, touch] : touched_) {
        const UINT subresource = key.second;
        const D3D12_RESOURCE_STATES found = touch.resource->get(subresource);
        D3D12_RESOURCE_STATES final = touch.current;
        bool promotedToRead = touch.promotedToRead;
        if (touch.startsWithBarrier) {
            if (found != touch.expected)
                report(kExecute, "a barrier expects " + stateName(touch.expected) + " of subresource " +
                                     std::to_string(subresource) + ", which is in " + stateName(found));
        } else if (!reachable(found, touch.expected)) {
            report(kExecute, "subresource " + std::to_string(subresource) + " is in " + stateName(found) + ", not " +
                                 stateName(touch.expected));
        } else if (!touch.currentKnown) {
            final = found == D3D12_RESOURCE_STATE_COMMON ? touch.expected : found;
            promotedToRead = found == D3D12_RESOURCE_STATE_COMMON && readOnly(touch.expected);
        }
        // Decay: what a copy queue touched, buffers, simultaneous-access textures and whatever was
        // promoted to a read state are COMMON again once the work is done.
        if (copyQueue || touch.resource->anyPromotion() || promotedToRead) final = D3D12_RESOURCE_STATE_COMMON;
        touch.resource->set(subresource, final);
    }
}

}  // namespace winsim::d3d12
