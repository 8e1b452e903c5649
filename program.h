// The program put together: the main window with the parts behind its
// buttons attached (the probe, the picture preview) and "Initialize
// Watermarking" leading to the positioning window.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

class MainWindow;
class QTextStream;

std::unique_ptr<MainWindow> buildProgram();

// A quit signal (a logout, a Ctrl+C, a kill) ends the program as Stop ends a
// run: every conversion is asked to stop and keeps its part, the program waits
// for them (at most `grace`, inside a session manager's grace before its
// SIGKILL), says on `err` where each part is, closes its windows and leaves
// through `exit` with 128 + the signal. A further signal asks the same.
void endOnQuitSignal(MainWindow& main, int signal, const std::function<void(int)>& exit, QTextStream& err,
                     std::chrono::milliseconds grace = std::chrono::milliseconds(4500));
