#include "app/program_window.h"

#include <QCoreApplication>

#include <vector>

namespace {

struct Registry {
    // Every window adopted that still exists: the loaded ones and the closed
    // ones waiting for their handlers to return.
    std::vector<std::unique_ptr<ProgramWindow>> owned;
    bool settleQueued = false;
    bool cleanupInstalled = false;

    ~Registry() {
        // Widgets cannot be destroyed without the application object; at
        // process exit the system takes back what is left.
        if (!QCoreApplication::instance()) {
            for (auto& w : owned)
                (void)w.release();
        }
    }
};

Registry& registry() {
    static Registry r;
    return r;
}

void destroyAllWindows() {
    std::vector<std::unique_ptr<ProgramWindow>> doomed;
    doomed.swap(registry().owned);
}

void scheduleSettle() {
    Registry& r = registry();
    if (r.settleQueued || !QCoreApplication::instance()) return;
    r.settleQueued = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            registry().settleQueued = false;
            destroyClosedWindows();
        },
        Qt::QueuedConnection);
}

}  // namespace

ProgramWindow::ProgramWindow(QWidget* parent) : QWidget(parent) {}

ProgramWindow::Busy::Busy(ProgramWindow& window) : window_(window) {
    ++window_.busy_;
}

ProgramWindow::Busy::~Busy() {
    if (--window_.busy_ == 0 && window_.unloaded_) scheduleSettle();
}

void ProgramWindow::unload() {
    if (unloaded_) return;
    unloaded_ = true;
    // Never destroyed here: the close request itself is still on the stack.
    scheduleSettle();
}

void adoptWindow(std::unique_ptr<ProgramWindow> window) {
    Registry& r = registry();
    if (!r.cleanupInstalled && QCoreApplication::instance()) {
        r.cleanupInstalled = true;
        // The main loop's end, and the application's destruction for programs
        // (tests) that never ran it: no window outlives the application.
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &destroyAllWindows);
        qAddPostRoutine(&destroyAllWindows);
    }
    r.owned.push_back(std::move(window));
}

void destroyClosedWindows() {
    Registry& r = registry();
    std::vector<std::unique_ptr<ProgramWindow>> doomed;
    for (auto it = r.owned.begin(); it != r.owned.end();) {
        if ((*it)->unloaded_ && (*it)->busy_ == 0) {
            doomed.push_back(std::move(*it));
            it = r.owned.erase(it);
        } else {
            ++it;
        }
    }
    // Destroyed after the list is consistent, in case a destructor comes back here.
}
