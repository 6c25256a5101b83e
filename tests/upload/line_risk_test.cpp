// The line figures of a flash programming: the bit error rate its refusals point to and
// the chance of an error the frame check cannot see.
#include "upload/line_risk.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/flash_map.h"
#include "image/loader_record.h"

namespace zelvar::test {
namespace {

// Frames of 2058 bytes refused as often as a line of 1e-5 per bit refuses them: the
// estimate finds that rate, and the chance that follows from two flips in one lane.
TEST(LineRisk, EstimatesTheRateFromTheRefusalsAndTheUnseenErrorsFromIt) {
    constexpr double kRate = 1e-5;
    constexpr int kAccepted = 2000;
    constexpr uint16_t kWire = kFrameMaxData + 10;
    const double refuse = -std::expm1(-kWire * 10 * kRate);
    const int refused = static_cast<int>(std::lround(kAccepted * refuse / (1 - refuse)));
    CLineRisk risk;
    for (int i = 0; i < kAccepted; ++i) {
        risk.CountFrame(kWire, kFrameMaxData, kFwBase,
                        {.refusals = i < refused ? 1 : 0, .accepted = true});
    }
    EXPECT_NEAR(risk.BitErrorRate(), kRate, kRate * 0.01);
    const double words = kFrameMaxData / 2 + 3;
    const double expected = -std::expm1(-kAccepted * 16 * words * (words - 1) / 2 * kRate * kRate);
    EXPECT_NEAR(risk.UndetectedChance(), expected, expected * 0.03);
    EXPECT_EQ(risk.FramesSent(), static_cast<uint32_t>(kAccepted + refused));
    EXPECT_DOUBLE_EQ(risk.MeanFrameBytes(), kFrameMaxData);
}

}  // namespace
}  // namespace zelvar::test
