// A simulated receiver started for a test or a benchmark.
#pragma once

#include <memory>
#include <string>

#include "sim/sim_receiver.h"

namespace zelvar::test {

// Starts a simulated receiver with options, its flash loaded from the composite image at
// factoryImage; null (and why on standard error) when it cannot start.
std::unique_ptr<sim::CSimReceiver> StartSim(sim::SimOptions options,
                                            const std::string& factoryImage);

}  // namespace zelvar::test
