// The program put together: the main window with the parts behind its
// buttons attached (the probe, the picture preview) and "Initialize
// Watermarking" leading to the positioning window.
#pragma once

#include <memory>

class MainWindow;

std::unique_ptr<MainWindow> buildProgram();
