#include "encoder/error.h"

#include <cerrno>

extern "C" {
#include <libavutil/error.h>
}

namespace wm {

std::string Error::message() const {
    std::string why = detail;
    if (why.empty()) {
        char buf[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(code, buf, sizeof buf);
        why = buf;
    }
    return context.empty() ? why : context + ": " + why;
}

Error avError(int code, std::string context) {
    return Error{code, std::move(context), {}};
}
Error sysError(int errnum, std::string context) {
    return Error{AVERROR(errnum), std::move(context), {}};
}
Error failure(std::string context, std::string detail) {
    return Error{AVERROR(EINVAL), std::move(context), std::move(detail)};
}

}  // namespace wm
