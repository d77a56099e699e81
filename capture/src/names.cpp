// Debug names for every Direct3D and DXGI object a source creates, so that a debug layer's
// messages and a leak report say which of ours was left behind ("velda ring slot 1").
#include <string>

#include "impl.h"

namespace velda {
namespace {

// A name is a diagnostic aid: an object that refuses one works as well without it.
template <class Object>
void nameObject(Object* object, const std::string& name) {
    if (object) object->SetPrivateData(WKPDID_D3DDebugObjectName, static_cast<UINT>(name.size()), name.data());
}

}  // namespace

void SourceCore::nameDeviceObjects() {
    nameObject(device.Get(), "velda device");
    nameObject(context.Get(), "velda immediate context");
    nameObject(fence.Get(), "velda fence");
    nameObject(cursorVs.Get(), "velda cursor vertex shader");
    nameObject(cursorPs.Get(), "velda cursor pixel shader");
    nameObject(cursorConstants.Get(), "velda cursor constants");
    nameObject(convertConstants.Get(), "velda convert constants");
    nameObject(cursorBlend.Get(), "velda cursor blend state");
    nameObject(sampler.Get(), "velda sampler");
}

void DuplicationSource::Impl::nameDuplication() { nameObject(duplication.Get(), "velda duplication"); }

void SourceCore::nameRing() {
    for (int slot = 0; slot < kRingSize; ++slot) {
        const std::string name = "velda ring slot " + std::to_string(slot);
        nameObject(ringTextures[slot].Get(), name);
        nameObject(ringRtvs[slot].Get(), name + " target");
        nameObject(ringSrvs[slot].Get(), name + " view");
        nameObject(ringResources[slot].Get(), name + " (Direct3D 12)");
    }
    nameObject(convertVs.Get(), "velda convert vertex shader");  // made again by a rebuild after a failure
    nameObject(convertPs.Get(), "velda convert pixel shader");
    nameObject(convertTurnedPs.Get(), "velda convert pixel shader (turned)");
    for (const Intermediate& intermediate : intermediates) {
        const std::string name = "velda convert intermediate (fmt " + std::to_string(intermediate.format) + ")";
        nameObject(intermediate.texture.Get(), name);
        nameObject(intermediate.view.Get(), name + " view");
    }
}

void SourceCore::nameCursorImage() {
    nameObject(cursorTexture.Get(), "velda cursor image");
    nameObject(cursorSrv.Get(), "velda cursor image view");
}

}  // namespace velda
