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

    // For an output object enumerated while the monitor had been plugged in `plugIns` times.
    DuplicationRefusal refusal(int deviceAdapter, uint64_t plugIns = 0) const {
        return winsim::duplicationRefusal(machine_, enumerating(), output(), plugIns,
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
    machine_.otherDuplicatingProcesses = winsim::kMaxDuplicatingProcesses;

    EXPECT_EQ(refusal(0), DuplicationRefusal::OtherAdapter) << "the enumerating adapter does not drive the output";
    EXPECT_EQ(refusal(1), DuplicationRefusal::Detached);
    output().current.attached = true;
    EXPECT_EQ(refusal(1), DuplicationRefusal::SecureDesktop);
    machine_.secureDesktop = false;
    EXPECT_EQ(refusal(1), DuplicationRefusal::AlreadyDuplicated);
    output().duplications = 0;
    EXPECT_EQ(refusal(1), DuplicationRefusal::LimitReached);
    machine_.otherDuplicatingProcesses = winsim::kMaxDuplicatingProcesses - 1;
    EXPECT_EQ(refusal(1), DuplicationRefusal::None);
    EXPECT_EQ(refusal(0), DuplicationRefusal::OtherAdapter);
}

TEST_F(DuplicationPolicyTest, TheLimitCountsProcessesNotDuplications) {
    auto lock = machine_.lock();
    machine_.activeDuplications = 7;  // this process's own, of other outputs
    EXPECT_EQ(refusal(1), DuplicationRefusal::None);
    machine_.otherDuplicatingProcesses = 9;
    EXPECT_EQ(refusal(1), DuplicationRefusal::None) << "a process that duplicates is among the four already";
    machine_.activeDuplications = 0;
    EXPECT_EQ(refusal(1), DuplicationRefusal::LimitReached);
}

TEST_F(DuplicationPolicyTest, AnOutputEnumeratedBeforeAnUnplugStaysDetached) {
    auto lock = machine_.lock();
    winsim::OutputConfig next = output().current;
    next.attached = false;
    output().reconfigure(next);
    next.attached = true;
    output().reconfigure(next);
    ASSERT_EQ(output().plugIns, 1u);
    EXPECT_EQ(refusal(1, 0), DuplicationRefusal::Detached) << "enumerated before the unplug";
    EXPECT_EQ(refusal(1, 1), DuplicationRefusal::None) << "enumerated after the monitor came back";
    next.attached = false;
    output().reconfigure(next);
    EXPECT_EQ(refusal(1, 1), DuplicationRefusal::Detached) << "unplugged now";
}

TEST_F(DuplicationPolicyTest, AnOutputDrivenByAMissingAdapterCannotBeDuplicated) {
    auto lock = machine_.lock();
    output().current.drivenByAdapter = 2;
    EXPECT_EQ(refusal(0), DuplicationRefusal::OtherAdapter);
    EXPECT_EQ(refusal(1), DuplicationRefusal::OtherAdapter);
}

}  // namespace
