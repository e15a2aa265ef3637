#pragma once
// Ctrl-C and SIGTERM for the commands that write archives: instead of
// ending the process in the middle of an archive, they ask the running
// writer to stop, so the writer removes its partial output, and they end
// the schedule's waiting.

#include "tools/mzb/TerminalHost.h"
#include "zip/reader/ZipReader.h"

namespace mzb::cli {

// Installs the handlers for SIGINT and SIGTERM.
void CatchInterrupts();
bool Interrupted();

// Host services that pass an interrupt on to the component they serve as a
// cancel request at its next check.
class InterruptibleHost : public TerminalHost {
public:
    void Serve(TZipReader& component) { component_ = &component; }
    void ProcessEvents() override;

private:
    TZipReader* component_ = nullptr;
};

} // namespace mzb::cli
