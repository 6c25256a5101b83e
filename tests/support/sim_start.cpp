#include "sim_start.h"

#include <cstdio>

namespace zelvar::test {

std::unique_ptr<sim::CSimReceiver> StartSim(sim::SimOptions options,
                                            const std::string& factoryImage) {
    options.flashIn = factoryImage;
    auto receiver = std::make_unique<sim::CSimReceiver>(options);
    std::string error;
    if (!receiver->Start(error)) {
        std::fprintf(stderr, "simulated receiver: %s\n", error.c_str());
        return nullptr;
    }
    return receiver;
}

}  // namespace zelvar::test
