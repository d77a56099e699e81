// WINSIM_VARIANTS: the variants it names join every machine the process makes; a name that is no
// variant is refused loudly and leaves no machine, as an unknown scenario does.
#include <gtest/gtest.h>

#include <dxgi1_6.h>
#include <wrl/client.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "machine/machine.h"
#include "winsim/control.h"

using Microsoft::WRL::ComPtr;

namespace {

// Sets an environment variable for one scope and gives the old value back after it.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value, 1);
    }
    ~ScopedEnvironment() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(VariantEnvironmentTest, NamedVariantsJoinEveryMachineAndAnUnknownOneLeavesNoMachine) {
    winsim::MachineConfig config;
    ASSERT_TRUE(winsim::scenario("single", config));
    {
        ScopedEnvironment variants("WINSIM_VARIANTS", "d3d12-single-mip-sharing");
        winsim::useMachine(config);
        EXPECT_TRUE(winsim::currentVariants().d3d12SingleMipSharing);
    }
    {
        ScopedEnvironment variants("WINSIM_VARIANTS", "no-such-variant");
        testing::internal::CaptureStderr();
        winsim::useMachine(config);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_NE(printed.find("winsim: unknown variant \"no-such-variant\"; known: mode-format-scanout"),
                  std::string::npos)
            << printed;
        EXPECT_EQ(winsim::currentMachine(), nullptr);
        ComPtr<IDXGIFactory1> factory;
        EXPECT_TRUE(FAILED(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf()))));
    }
    winsim::useMachine(config);
}

}  // namespace
