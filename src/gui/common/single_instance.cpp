#include "gui/common/single_instance.h"

#include "gui/common/instance_lock.h"

namespace zelvar {

void RunSingleInstance(const std::string& lockPath, const std::function<void()>& refuse,
                       const std::function<void()>& run) {
    CInstanceLock lock(lockPath);
    if (!lock.Acquire()) {
        refuse();
        return;
    }
    run();
}

}  // namespace zelvar
