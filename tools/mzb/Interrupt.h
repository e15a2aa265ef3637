#pragma once
// SIGINT, SIGTERM and SIGHUP for the long commands (create, extract, test,
// backup, restore, run-schedule). Instead of ending the process in the
// middle of its work, a signal asks the running component to stop at its
// next check, so that it removes its partial output; the command then says
// on stderr what was not finished and ends with 128 + the signal's number.
// A second signal ends the process at once: whatever it stops, the part
// files leave no damaged file under a name the user sees.

#include "tools/mzb/TerminalHost.h"
#include "zip/reader/ZipReader.h"

#include <string>

namespace mzb::cli {

// Installs the handlers.
void CatchInterrupts();
bool Interrupted();

// Prints "mzb: interrupted by SIGxxx: <unfinished>" on stderr and returns
// the exit status for the signal that came.
int ReportInterrupted(const std::string& unfinished);

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
