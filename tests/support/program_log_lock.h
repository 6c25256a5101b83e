// Tests that open the program's own log file ("Zelvar.txt" beside the test program) run
// in several processes at once under ctest; only one can hold the log. A test holds this
// lock for its length so that such tests take turns instead of failing each other.
#pragma once

namespace zelvar::test {

class ProgramLogLock {
  public:
    ProgramLogLock();  // waits for the lock
    ~ProgramLogLock();
    ProgramLogLock(const ProgramLogLock&) = delete;
    ProgramLogLock& operator=(const ProgramLogLock&) = delete;

  private:
    int m_fd;
};

}  // namespace zelvar::test
