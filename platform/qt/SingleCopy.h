#pragma once
// The single running copy of the window. The copy that gets the instance
// lock listens on a local socket; a later start connects to it, asks it to
// come to the front and ends without touching project.ini. The socket a
// crashed copy left behind is removed by the next copy that gets the lock.

#include "platform/InstanceLock.h"

#include <QLocalServer>
#include <QObject>
#include <memory>
#include <string>

namespace mzb {

class SingleCopy : public QObject {
    Q_OBJECT

public:
    enum class Role {
        Running, // this copy runs; it listens for later starts
        Second,  // another copy runs and was asked to come to the front
    };

    explicit SingleCopy(std::string socketPath, QObject* parent = nullptr);

    // Decides this copy's role. A second copy that finds the running one
    // still starting waits for it to listen, a few seconds at most. Where
    // no lock can be made at all (no private runtime folder, an empty
    // socket path) this copy runs: a second copy is better than none.
    Role Claim();

signals:
    // A later start asked this copy to come to the front.
    void ActivationRequested();

private:
    bool Listen();
    bool AskRunningCopy() const;

    std::string socketPath_;
    std::unique_ptr<InstanceLock> lock_;
    QLocalServer server_;
};

} // namespace mzb
