#include "runner/console_capture.h"

#include "runner/child_process.h"
#include "runner/command_line.h"
#include "runner/console_capture_core.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <poll.h>

#include <cerrno>

namespace {

constexpr int kReapIntervalMs = 250;

// Reaps children that outlived their run while any is left, and sends the
// SIGKILLs that fall due meanwhile. The timer belongs to the application
// object, so it goes with it.
void armReapTimer() {
    static QPointer<QTimer> timer;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || outstandingChildCount() == 0) return;
    if (!timer) {
        timer = new QTimer(app);
        timer->setInterval(kReapIntervalMs);
        QTimer* t = timer.data();
        QObject::connect(t, &QTimer::timeout, t, [t] {
            if (!reapOutstandingChildren()) t->stop();
        });
    }
    if (!timer->isActive()) timer->start();
}

// The yield of one run: dispatch what is pending, and when nothing is, sleep
// in the event loop until an event arrives or the read end becomes readable.
class EventLoopWait {
public:
    void operator()(int fd) {
        if (!QCoreApplication::instance()) {
            pollfd p{fd, POLLIN, 0};
            while (::poll(&p, 1, -1) < 0 && errno == EINTR) {}
            return;
        }
        if (!notifier_) {
            notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            // Disarmed on its first activation: a run started by an event
            // during this wait must not be woken again and again by our pipe,
            // which nobody reads until that run has ended.
            QSocketNotifier* n = notifier_.get();
            QObject::connect(n, &QSocketNotifier::activated, n, [n] { n->setEnabled(false); });
        }
        notifier_->setEnabled(true);
        // Returns after one round of dispatching; the loop then checks the
        // cancel flag before anything else, so a cancel or a refused
        // run from any handler of that round is seen at once.
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        notifier_->setEnabled(false);
    }

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace

ConsoleCapture::ConsoleCapture(QObject* parent)
    : QObject(parent), core_(std::make_unique<ConsoleCaptureCore>()) {}

ConsoleCapture::~ConsoleCapture() = default;

qint32 ConsoleCapture::run(const QString& cmdLine) {
    if (core_->running()) {
        // The refused call changes neither commandLine() nor processId().
        core_->cancel();
        return 0;
    }

    commandLine_ = cmdLine;
    // Also when a receiver of output throws: the child handed on by the core
    // still needs the reap timer.
    struct AtEnd {
        QString& text;
        ~AtEnd() {
            text.clear();
            armReapTimer();
        }
    } atEnd{commandLine_};

    EventLoopWait wait;
    return core_->run(
        toNativeArguments(splitCommandLine(cmdLine)),
        [this](const char* data, std::size_t size) {
            emit output(QString::fromLatin1(data, static_cast<qsizetype>(size)));
        },
        [&wait](int fd) { wait(fd); });
}

void ConsoleCapture::cancel() {
    core_->cancel();
}

void ConsoleCapture::stop() {
    core_->stop();
}

void ConsoleCapture::interrupt() {
    core_->interrupt();
}

void ConsoleCapture::terminateAllChildren() {
    ConsoleCaptureCore::terminateAllChildren();
    armReapTimer();
}

QString ConsoleCapture::commandLine() const {
    return commandLine_;
}

qint32 ConsoleCapture::processId() const {
    return static_cast<qint32>(core_->processId());
}
