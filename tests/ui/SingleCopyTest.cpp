// One running copy per program directory: in one process through the
// platform service, and with the real program in several.

#include "platform/qt/SingleCopy.h"

#include "UiTest.h"
#include "platform/SingleCopyName.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <memory>

using namespace mzb;

namespace {

constexpr int kSettleMs = 15000;
constexpr int kConnectMs = 1000;

// Copies of mzbackup started from one program folder of their own, with a
// private runtime folder for the socket.
class ProgramFolder {
public:
    ProgramFolder() {
        QDir().mkpath(Path("run"));
        QFile::setPermissions(Path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::copy(QStringLiteral(MZBACKUP_EXE), Path("mzbackup"));
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("QT_QPA_PLATFORM", "offscreen");
        env_.insert("XDG_RUNTIME_DIR", Path("run"));
        env_.insert("HOME", Path(""));
    }

    QString Path(const QString& name) const { return QString::fromStdString(dir_.dir()) + name; }

    QString SocketPath() const {
        const QByteArray old = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", Path("run").toUtf8());
        const std::string path = SingleCopySocketPath(dir_.dir());
        qputenv("XDG_RUNTIME_DIR", old);
        return QString::fromStdString(path);
    }

    std::unique_ptr<QProcess> Start() const {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env_);
        process->setProgram(Path("mzbackup"));
        process->start();
        return process;
    }

    std::string Ini() const { return test::ReadFile(Path("project.ini").toStdString()); }
    void WriteIni(const std::string& text) const { dir_.write("project.ini", text); }

private:
    test::TempDir dir_;
    QProcessEnvironment env_;
};

void Kill(QProcess& process) {
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    process.waitForFinished(kSettleMs);
}

// Whether a copy listens on the socket, as only the running copy does once
// it has claimed its place; a file a killed copy left answers nothing.
bool Answers(const QString& socketPath) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    return socket.waitForConnected(kConnectMs);
}

bool EndedWithZero(QProcess& process) {
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(kSettleMs)) {
        qWarning("still running");
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("status %d code %d: %s", int(process.exitStatus()), process.exitCode(),
                 process.readAllStandardError().constData());
        return false;
    }
    return true;
}

} // namespace

class SingleCopyTest : public QObject {
    Q_OBJECT

private slots:
    void laterStartAsksTheRunningCopyToComeToTheFront() {
        test::TempDir dir;
        const std::string path = dir.dir() + "copy";
        SingleCopy running(path);
        QCOMPARE(running.Claim(), SingleCopy::Role::Running);
        QSignalSpy activations(&running, &SingleCopy::ActivationRequested);
        SingleCopy second(path);
        QCOMPARE(second.Claim(), SingleCopy::Role::Second);
        QVERIFY(activations.wait(kSettleMs));

        // Without a folder for the lock the program still starts.
        SingleCopy homeless(dir.dir() + "missing/copy");
        QCOMPARE(homeless.Claim(), SingleCopy::Role::Running);
    }

    void secondProgramEndsAndACrashedCopyDoesNotBlockTheNext() {
        ProgramFolder folder;
        const std::string ini = "[Common]\nProject Count=1\nCount0=docs\nBy Field=7\n";
        folder.WriteIni(ini);

        auto first = folder.Start();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(folder.SocketPath()), kSettleMs);
        auto second = folder.Start();
        QVERIFY(EndedWithZero(*second));
        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(folder.Ini(), ini);

        // SIGKILL leaves the socket file behind.
        Kill(*first);
        QVERIFY(QFileInfo::exists(folder.SocketPath()));
        auto third = folder.Start();
        QTRY_VERIFY_WITH_TIMEOUT(Answers(folder.SocketPath()), kSettleMs);
        auto fourth = folder.Start();
        QVERIFY(EndedWithZero(*fourth));
        QCOMPARE(third->state(), QProcess::Running);
        Kill(*third);
        QCOMPARE(folder.Ini(), ini);
    }

    void twoStartsAtOnceLeaveExactlyOneRunning() {
        ProgramFolder folder;
        auto a = folder.Start();
        auto b = folder.Start();
        QTRY_VERIFY_WITH_TIMEOUT(
            a->state() == QProcess::NotRunning || b->state() == QProcess::NotRunning, kSettleMs);
        QProcess& ended = a->state() == QProcess::NotRunning ? *a : *b;
        QProcess& running = &ended == a.get() ? *b : *a;
        QVERIFY(EndedWithZero(ended));
        QTRY_VERIFY_WITH_TIMEOUT(Answers(folder.SocketPath()), kSettleMs);
        QCOMPARE(running.state(), QProcess::Running);
        Kill(running);
    }
};

MZB_UI_TEST(SingleCopyTest);
#include "SingleCopyTest.moc"
