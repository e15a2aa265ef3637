#pragma once
// Acts on the next modal window as soon as it is up, not after a guessed
// time: a timer looks for it every few milliseconds. A modal window still
// open after the bound is closed and reported, so that a test whose window
// never closes fails instead of hanging.

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <utility>

namespace mzb::test {

class ModalDriver {
public:
    explicit ModalDriver(std::function<void(QWidget*)> act, int boundMs = 20000)
        : act_(std::move(act)), boundMs_(boundMs) {
        QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
        poll_.start(kPollMs);
        elapsed_.start();
    }

    // Whether a modal window outlived the bound and was closed here.
    bool WatchdogFired() const { return watchdogFired_; }

private:
    static constexpr int kPollMs = 10;

    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        const bool up = modal != nullptr && modal->isVisible();
        if (up && act_) {
            std::exchange(act_, nullptr)(modal);
        } else if (up && elapsed_.elapsed() > boundMs_) {
            watchdogFired_ = true;
            modal->close();
        }
    }

    std::function<void(QWidget*)> act_;
    const int boundMs_;
    QTimer poll_;
    QElapsedTimer elapsed_;
    bool watchdogFired_ = false;
};

} // namespace mzb::test
