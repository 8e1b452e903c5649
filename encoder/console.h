// Console output on standard error. Every call is one write(2), so a line or block arrives in
// one piece at a pipe reader. When the reader has gone away (EPIPE) the console falls silent and
// the work goes on. Safe to call from any thread.
#pragma once

#include <string_view>

namespace wm::console {

void write(std::string_view text);
// Whether a write is under way, e.g. held by a reader that does not read.
bool waiting();

}  // namespace wm::console
