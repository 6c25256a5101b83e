// The command line's view of a job: every event the loader publishes, shown on the
// console display (or written as JSON by it).
#pragma once

#include "base/loader_events.h"
#include "cli/console_output.h"

namespace zelvar::cli {

class CConsoleSink : public IEventSink {
  public:
    explicit CConsoleSink(CConsoleOutput& output) : m_output(output) {}
    void OnEvent(const LoaderEvent& event) override;

  private:
    CConsoleOutput& m_output;
};

}  // namespace zelvar::cli
