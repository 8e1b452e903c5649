#include "encoder/output_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace wm {
namespace {

std::string folderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool samePath(const std::string& a, const std::string& b) {
    std::error_code ea, eb;
    auto ca = std::filesystem::weakly_canonical(a, ea), cb = std::filesystem::weakly_canonical(b, eb);
    return !ea && !eb && ca == cb;
}

}  // namespace

OutputTarget::~OutputTarget() {
    discard();
}

Error OutputTarget::prepare(const std::string& input, const std::string& output, bool overwrite) {
    final_ = output;
    const std::string what = "output '" + output + "'";
    struct stat in {
    }, out{};
    const bool outExists = ::stat(output.c_str(), &out) == 0;
    if (samePath(input, output) ||
        (outExists && ::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino))
        return failure(what, "is the input file itself; the source is never overwritten");
    if (outExists && S_ISDIR(out.st_mode)) return failure(what, "is a folder");
    struct stat link {};
    if (!overwrite && ::lstat(output.c_str(), &link) == 0)
        return failure(what, "already exists; give -y to overwrite it");

    const std::string folder = folderOf(output);
    const std::string name =
        output.substr(output.find_last_of('/') == std::string::npos ? 0 : output.find_last_of('/') + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate =
            folder + "/." + name + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            work_ = std::move(candidate);
            pending_ = true;
            return noError();
        }
        if (errno != EEXIST) return sysError(errno, "cannot write into the result's folder '" + folder + "'");
    }
    return failure("cannot write into the result's folder '" + folder + "'", "no free working file name");
}

Error OutputTarget::commit() {
    if (!pending_) return failure("output '" + final_ + "'", "nothing to commit");
    if (::rename(work_.c_str(), final_.c_str()) != 0)
        return sysError(errno, "finish output '" + final_ + "'");
    pending_ = false;
    return noError();
}

void OutputTarget::discard() noexcept {
    if (pending_) ::unlink(work_.c_str());
    pending_ = false;
}

}  // namespace wm
