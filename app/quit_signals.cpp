#include "app/quit_signals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
std::atomic<int> writeEnd{-1};

void onSignal(int sig) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(sig);
    // A full pipe already holds a signal that will be read.
    if (const int fd = writeEnd.load(); fd >= 0) (void)!::write(fd, &byte, 1);
    errno = saved;
}

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    std::optional<PipeEnds> pipe = makeCloexecPipe();
    if (!pipe) return;
    read_ = std::move(pipe->read);
    write_ = std::move(pipe->write);
    for (const int fd : {read_.get(), write_.get()})
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    writeEnd.store(write_.get());

    notifier_ = new QSocketNotifier(read_.get(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::readSignals);

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (const int sig : kSignals)
        ::sigaction(sig, &sa, nullptr);
}

QuitSignals::~QuitSignals() {
    if (!notifier_) return;
    for (const int sig : kSignals)
        std::signal(sig, SIG_DFL);
    writeEnd.store(-1);
}

void QuitSignals::readSignals() {
    unsigned char sig = 0;
    while (::read(read_.get(), &sig, 1) == 1)
        emit arrived(sig);
}
