// One error value for the encoder's library code: what was being done, and why it failed.
// Only main() turns it into a console line and an exit status.
#pragma once

#include <string>

namespace wm {

struct Error {
    int code = 0;         // AVERROR value (errno values as AVERROR(e)); 0 = no error
    std::string context;  // what was being done, e.g. "open input 'clip.mp4'"
    std::string detail;   // overrides the text of code when set

    bool ok() const noexcept { return code == 0; }
    explicit operator bool() const noexcept { return code != 0; }
    std::string message() const;
};

inline Error noError() {
    return {};
}
Error avError(int code, std::string context);
Error sysError(int errnum, std::string context);
Error failure(std::string context, std::string detail);

}  // namespace wm
