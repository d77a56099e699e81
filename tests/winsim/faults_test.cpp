// The fault table: its one catalogue of call names, the refusal of any other name, and what it
// counts.
#include <d3d11.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "winsim/control.h"

namespace {

class FaultTableTest : public ::testing::Test {
protected:
    void SetUp() override { winsim::clearFaults(); }
    void TearDown() override { winsim::clearFaults(); }
};

std::string refusal(const std::function<void()>& call) {
    testing::internal::CaptureStderr();
    std::string what;
    try {
        call();
    } catch (const std::invalid_argument& error) {
        what = error.what();
    }
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed, what.empty() ? "" : what + "\n") << "the refusal is also printed";
    return what;
}

TEST_F(FaultTableTest, AMisspeltCallIsRefusedWithTheSimilarNames) {
    const std::string what = refusal([] { winsim::addFault({"ID3D11Device::CreateTexture2d"}); });
    EXPECT_EQ(what, "winsim::addFault: no platform call is named \"ID3D11Device::CreateTexture2d\"");
    const std::string hinted = refusal([] { winsim::addFault({"ID3D11Device1::CreateFence"}); });
    EXPECT_NE(hinted.find("(did you mean ID3D11Device5::CreateFence, ID3D12Device::CreateFence?)"), std::string::npos)
        << hinted;
    EXPECT_FALSE(refusal([] { winsim::callCount("CreateEvent"); }).empty()) << "counts are asked by the same names";
    EXPECT_TRUE(refusal([] { winsim::addFault({"CreateEventW"}); }).empty());
}

TEST_F(FaultTableTest, EveryCallIsCountedByItsCatalogueNameAndAFaultCountsWhatItFailed) {
    const auto names = winsim::faultCalls();
    EXPECT_NE(std::find(names.begin(), names.end(), "IDXGIOutputDuplication::AcquireNextFrame"), names.end());
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size()) << "no name twice";

    const int id = winsim::addFault({"CreateEventW", ERROR_NOT_ENOUGH_MEMORY, 1, 2});
    for (int i = 0; i < 4; ++i) {
        HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        EXPECT_EQ(event == nullptr, i == 1 || i == 2) << i;
        if (event) CloseHandle(event);
        else EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    }
    EXPECT_EQ(winsim::faultHits(id), 2);
    EXPECT_EQ(winsim::callCounts(), (std::map<std::string, int>{{"CreateEventW", 4}}));
    winsim::removeFault(id);
    EXPECT_EQ(winsim::faultHits(id), 0);
}

}  // namespace
