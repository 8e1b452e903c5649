#include "app/forms.h"

#include "convert/form3.h"
#include "watermark/form4.h"

#include <QCoreApplication>

#include <memory>
#include <vector>

namespace {

struct Registry {
    // Every window made here that still exists: the loaded ones and the
    // closed ones waiting for their handlers to return.
    std::vector<std::unique_ptr<ProgramForm>> owned;
    Form3* form3 = nullptr;
    Form4* form4 = nullptr;
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

void destroyAllForms() {
    Registry& r = registry();
    r.form3 = nullptr;
    r.form4 = nullptr;
    std::vector<std::unique_ptr<ProgramForm>> doomed;
    doomed.swap(r.owned);
}

void scheduleSettle() {
    Registry& r = registry();
    if (r.settleQueued || !QCoreApplication::instance()) return;
    r.settleQueued = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            registry().settleQueued = false;
            destroyIdleForms();
        },
        Qt::QueuedConnection);
}

template <typename W>
W& adopt(std::unique_ptr<W> w, W*& slot) {
    Registry& r = registry();
    if (!r.cleanupInstalled && QCoreApplication::instance()) {
        r.cleanupInstalled = true;
        // The main loop's end, and the application's destruction for programs
        // (tests) that never ran it: no window outlives the application.
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &destroyAllForms);
        qAddPostRoutine(&destroyAllForms);
    }
    W& ref = *w;
    r.owned.push_back(std::move(w));
    slot = &ref;
    return ref;
}

}  // namespace

ProgramForm::ProgramForm(QWidget* parent) : QWidget(parent) {}

ProgramForm::Busy::Busy(ProgramForm& form) : form_(form) {
    ++form_.busy_;
}

ProgramForm::Busy::~Busy() {
    if (--form_.busy_ == 0 && form_.unloaded_) scheduleSettle();
}

void ProgramForm::unload() {
    if (unloaded_) return;
    unloaded_ = true;
    Registry& r = registry();
    if (static_cast<ProgramForm*>(r.form3) == this) r.form3 = nullptr;
    if (static_cast<ProgramForm*>(r.form4) == this) r.form4 = nullptr;
    // Never destroyed here: the close request itself is still on the stack.
    scheduleSettle();
}

void destroyIdleForms() {
    Registry& r = registry();
    std::vector<std::unique_ptr<ProgramForm>> doomed;
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

Form3& Form3::instance() {
    Registry& r = registry();
    if (r.form3) return *r.form3;
    Form3& w = adopt(std::make_unique<Form3>(), r.form3);
    w.Form_Load();
    return w;
}

Form3* Form3::loaded() {
    return registry().form3;
}

Form4& Form4::instance() {
    Registry& r = registry();
    if (r.form4) return *r.form4;
    return adopt(std::make_unique<Form4>(), r.form4);
}

Form4* Form4::loaded() {
    return registry().form4;
}
