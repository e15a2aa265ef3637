#pragma once
// The application object. It is the top level that errors reach: an error
// a handler raises is shown in an error box after the handler's own
// clean-up has run, and the silent abort ends its operation without one.

#include <QApplication>

namespace mzb {

class TApplication : public QApplication {
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace mzb
