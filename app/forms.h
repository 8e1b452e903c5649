// The program's other windows, the positioning window (Form3) and the palette
// (Form4), are created on first use and dropped when the user closes them:
// Form3::instance() / Form4::instance() return the loaded window, creating
// (and for Form3 loading) one when there is none; Form3::loaded() /
// Form4::loaded() return it or nullptr without creating anything.
//
// A window can be closed from inside one of its own handlers: Start runs the
// encoder synchronously and pumps events meanwhile, so the close button works
// in the middle of it. A closed window is hidden and forgotten at once (the
// next use makes a new one), but destroyed only when no handler of it is
// running any more, from the event loop. Every handler that can dispatch
// events (a run, a message box, processEvents) holds a ProgramForm::Busy for
// its whole body, and so does outside code that keeps a reference to a window
// across such a call. QObject::deleteLater would not do: a deferred delete
// posted from a nested event is executed by the next processEvents of the
// handler that is still running.
#pragma once

#include <QWidget>

class ProgramForm : public QWidget {
    Q_OBJECT
public:
    // Keeps the window alive (not its loaded state) while it exists.
    class Busy {
    public:
        explicit Busy(ProgramForm& form);
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        ProgramForm& form_;
    };

    // False once the window has been closed; it may still exist while busy.
    bool isLoaded() const { return !unloaded_; }

protected:
    explicit ProgramForm(QWidget* parent = nullptr);

    // Forgets the window as its class's loaded instance; it is destroyed from
    // the event loop once nothing holds it busy. Called by the close handling.
    void unload();

private:
    int busy_ = 0;
    bool unloaded_ = false;

    friend void destroyIdleForms();
};

// Destroys now every closed window that is not busy. The event loop does this
// by itself after a close; tests may call it to settle.
void destroyIdleForms();
