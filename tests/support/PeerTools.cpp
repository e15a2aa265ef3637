#include "support/PeerTools.h"

#include "support/RunCommand.h"

#include <cstdlib>

namespace mzb::test {

std::optional<std::string> MissingPeer(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (!FindProgram(name)) {
            return std::string(name);
        }
    }
    return std::nullopt;
}

std::string PeerPath(const std::string& name) {
    return FindProgram(name).value_or(std::string());
}

bool PeersRequired() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && *ci != '\0';
}

} // namespace mzb::test
