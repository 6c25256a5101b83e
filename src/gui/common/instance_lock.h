// The single-instance check: a lock file per user that the running copy holds for as
// long as it lives. The kernel drops the lock when the process ends, however it ends.
#pragma once

#include <string>

namespace zelvar {

class CInstanceLock {
  public:
    explicit CInstanceLock(std::string path = DefaultPath());
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // True when this object holds the lock now. False only when another holder has
    // it; a lock file that cannot be made at all does not stop the program.
    bool Acquire();
    bool Held() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }

    // "$XDG_RUNTIME_DIR/zelvar-loader.lock", or "/tmp/zelvar-loader-<uid>.lock".
    static std::string DefaultPath();

  private:
    std::string m_path;
    int m_fd = -1;
};

}  // namespace zelvar
