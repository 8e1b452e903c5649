// A window of the program that is created on first use and dropped when the
// user closes it (the positioning window, the palette). Each such class keeps
// its loaded instance in a WindowSlot: instance() creates one when there is
// none, loaded() returns it or nullptr without creating anything.
//
// A window can be closed from inside one of its own handlers: Start runs the
// encoder synchronously and pumps events meanwhile, so the close button works
// in the middle of it. A closed window is hidden and forgotten at once (the
// next use makes a new one), but destroyed only when no handler of it is
// running any more, from the event loop. Every handler that can dispatch
// events (a run, a message box, processEvents) holds a ProgramWindow::Busy for
// its whole body, and so does outside code that keeps a reference to a window
// across such a call. QObject::deleteLater would not do: a deferred delete
// posted from a nested event is executed by the next processEvents of the
// handler that is still running.
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class ProgramWindow : public QWidget {
    Q_OBJECT
public:
    // Keeps the window alive (not its loaded state) while it exists.
    class Busy {
    public:
        explicit Busy(ProgramWindow& window);
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        ProgramWindow& window_;
    };

    // False once the window has been closed; it may still exist while busy.
    bool isLoaded() const { return !unloaded_; }

protected:
    explicit ProgramWindow(QWidget* parent = nullptr);

    // Forgets the window as its class's loaded instance; it is destroyed from
    // the event loop once nothing holds it busy. Called by the close handling.
    void unload();

private:
    int busy_ = 0;
    bool unloaded_ = false;

    friend void destroyClosedWindows();
};

// Hands a new window to the program, which destroys it once it is closed and
// idle, or when the application ends.
void adoptWindow(std::unique_ptr<ProgramWindow> window);

// Destroys now every closed window that is not busy. The event loop does this
// by itself after a close; tests may call it to settle.
void destroyClosedWindows();

// The loaded instance of one window class.
template <typename W>
class WindowSlot {
public:
    W* loaded() const { return window_ && window_->isLoaded() ? window_.data() : nullptr; }

    // The loaded window, or a new one from make() that the program then
    // owns, loaded by load(): the load step already finds it loaded().
    template <typename Make, typename Load>
    W& instance(Make make, Load load) {
        if (W* w = loaded()) return *w;
        std::unique_ptr<W> fresh = make();
        W& w = *fresh;
        window_ = &w;
        adoptWindow(std::move(fresh));
        load(w);
        return w;
    }

private:
    QPointer<W> window_;
};
