// Which refusal the machine reports when several reasons to refuse a duplication hold at once.
// Callers act on the reason (switch adapters, wait out the secure desktop, reuse their
// duplication, wait for a free slot), so the order matters.
#include <gtest/gtest.h>

#include "machine/duplication_policy.h"

namespace {

using winsim::DuplicationRefusal;

class DuplicationPolicyTest : public ::testing::Test {
protected:
    // A hybrid machine: adapter 0 enumerates output 0, adapter 1 drives it.
    static winsim::MachineConfig hybrid() {
        winsim::MachineConfig config;
        config.adapters.resize(2);
        config.adapters[0].outputs.resize(1);
        config.adapters[0].outputs[0].drivenByAdapter = 1;
        config.adapters[1].luid = LUID{0x2000, 0};
        return config;
    }

    DuplicationRefusal refusal(int deviceAdapter) const {
        return winsim::duplicationRefusal(machine_, enumerating(), output(),
                                          *machine_.adapters()[static_cast<size_t>(deviceAdapter)]);
    }
    const winsim::AdapterState& enumerating() const { return *machine_.adapters()[0]; }
    winsim::OutputState& output() const { return *machine_.outputs()[0]; }

    winsim::Machine machine_{hybrid()};
};

TEST_F(DuplicationPolicyTest, EachRefusalGivesWayOnlyWhenItsCauseGoes) {
    auto lock = machine_.lock();
    output().current.attached = false;
    machine_.secureDesktop = true;
    output().duplications = 1;
    machine_.activeDuplications = winsim::kMaxDuplications;

    EXPECT_EQ(refusal(0), DuplicationRefusal::OtherAdapter) << "the enumerating adapter does not drive the output";
    EXPECT_EQ(refusal(1), DuplicationRefusal::Detached);
    output().current.attached = true;
    EXPECT_EQ(refusal(1), DuplicationRefusal::SecureDesktop);
    machine_.secureDesktop = false;
    EXPECT_EQ(refusal(1), DuplicationRefusal::AlreadyDuplicated);
    output().duplications = 0;
    EXPECT_EQ(refusal(1), DuplicationRefusal::LimitReached);
    machine_.activeDuplications = winsim::kMaxDuplications - 1;
    EXPECT_EQ(refusal(1), DuplicationRefusal::None);
    EXPECT_EQ(refusal(0), DuplicationRefusal::OtherAdapter);
}

TEST_F(DuplicationPolicyTest, AnOutputDrivenByAMissingAdapterCannotBeDuplicated) {
    auto lock = machine_.lock();
    output().current.drivenByAdapter = 2;
    EXPECT_EQ(refusal(0), DuplicationRefusal::OtherAdapter);
    EXPECT_EQ(refusal(1), DuplicationRefusal::OtherAdapter);
}

}  // namespace
