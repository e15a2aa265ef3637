#include "platform/qt/SingleCopy.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>

namespace mzb {
namespace {

constexpr int kWaitForRunningCopyMs = 5000;
constexpr int kConnectTimeoutMs = 500;
constexpr int kRetryPauseMs = 50;
constexpr char kActivate[] = "activate\n";

} // namespace

SingleCopy::SingleCopy(std::string socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_.nextPendingConnection()) {
            // The message carries nothing: any connection is a request to
            // come to the front.
            connect(client, &QLocalSocket::readyRead, client, [client] { client->readAll(); });
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            emit ActivationRequested();
        }
    });
}

SingleCopy::Role SingleCopy::Claim() {
    if (socketPath_.empty()) {
        return Role::Running; // no private folder for the name
    }
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        lock_ = std::make_unique<InstanceLock>(socketPath_ + ".lock");
        if (lock_->Result() != InstanceLock::State::HeldElsewhere) {
            if (lock_->Result() == InstanceLock::State::Held) {
                Listen();
            }
            return Role::Running;
        }
        if (AskRunningCopy() || waited.elapsed() > kWaitForRunningCopyMs) {
            return Role::Second;
        }
        QThread::msleep(kRetryPauseMs);
    }
}

bool SingleCopy::Listen() {
    // Holding the lock, this copy is the only one that may own the socket: a
    // file at its path is what a crashed copy left.
    QLocalServer::removeServer(QString::fromStdString(socketPath_));
    return server_.listen(QString::fromStdString(socketPath_));
}

bool SingleCopy::AskRunningCopy() const {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(socketPath_));
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        return false;
    }
    socket.write(kActivate);
    const bool sent = socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return sent;
}

} // namespace mzb
