// ID3D12Debug: enabling the debug layer makes the devices created from then on validate
// resource states, as the runtime's debug layer does.
#include <d3d12sdklayers.h>

#include "d3d12/object.h"
#include "machine/faults.h"
#include "machine/machine.h"

namespace winsim::d3d12 {
namespace {

class Debug final : public com::Object<Debug, ID3D12Debug> {
public:
    static constexpr const char* kKind = "ID3D12Debug";
    explicit Debug(std::shared_ptr<Machine> machine) : machine_(std::move(machine)) {}
    void STDMETHODCALLTYPE EnableDebugLayer() override { machine_->d3d12DebugLayer = true; }

private:
    std::shared_ptr<Machine> machine_;
};

}  // namespace
}  // namespace winsim::d3d12

HRESULT WINAPI D3D12GetDebugInterface(REFIID riid, void** debug) {
    if (debug) *debug = nullptr;
    if (auto hr = winsim::fault("D3D12GetDebugInterface")) return *hr;
    auto machine = winsim::currentMachine();
    if (!machine) return DXGI_ERROR_UNSUPPORTED;
    if (!debug) return S_FALSE;
    return winsim::com::handOut(new winsim::d3d12::Debug(std::move(machine)), riid, debug);
}
