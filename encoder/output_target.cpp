#include "encoder/output_target.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

namespace wm {
namespace {

// Our part files: ".<result name>.wmpart-<pid>-<n>", marked besides by an extended attribute where
// the file system keeps one.
constexpr const char* kPartMark = ".wmpart-";
constexpr const char* kPartAttribute = "user.watermark-image.part";
constexpr const char kPartAttributeValue[] = "mxcode";
// On a stopped part: the name of the result it stands for.
constexpr const char* kStoppedAttribute = "user.watermark-image.stopped";
constexpr int kMaxStoppedNames = 9999;

std::string folderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool samePath(const std::string& a, const std::string& b) {
    std::error_code ea, eb;
    auto ca = std::filesystem::weakly_canonical(a, ea), cb = std::filesystem::weakly_canonical(b, eb);
    return !ea && !eb && ca == cb;
}

// Whether path names the source, by name or as the same file under another name.
bool isFileOf(const std::string& input, const std::string& path) {
    struct stat in {
    }, out{};
    return samePath(input, path) || (::stat(path.c_str(), &out) == 0 && ::stat(input.c_str(), &in) == 0 &&
                                     in.st_dev == out.st_dev && in.st_ino == out.st_ino);
}

bool allDigits(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// ".<result name>.wmpart-<pid>-<n>", as made by prepare(); nothing else is ever removed.
bool isPartName(const std::string& name) {
    if (name.size() < 2 || name[0] != '.') return false;
    const auto mark = name.rfind(kPartMark);
    if (mark == std::string::npos || mark < 2) return false;
    const std::string tail = name.substr(mark + std::strlen(kPartMark));
    const auto dash = tail.find('-');
    return dash != std::string::npos && allDigits(tail.substr(0, dash)) && allDigits(tail.substr(dash + 1));
}

// Whether the open file carries the attribute with exactly this value; nothing where the file
// system keeps no attributes.
std::optional<bool> carries(int fd, const char* attribute, std::string_view value) {
    std::string read(value.size() + 1, '\0');  // a longer value fails with ERANGE
    const ssize_t n = ::fgetxattr(fd, attribute, read.data(), read.size());
    if (n < 0) return errno == ENOTSUP ? std::nullopt : std::optional(false);
    return std::string_view(read.data(), size_t(n)) == value;
}

bool isOursAlone(const struct stat& st) {
    return S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_nlink == 1;
}

// Whether the open file is one of our part files: ours by its owner and its one name, and by our
// attribute, which only a file system without attributes may lack.
bool isOurPart(int fd, const struct stat& st) {
    return isOursAlone(st) && carries(fd, kPartAttribute, kPartAttributeValue).value_or(true);
}

// n when name is what stoppedName gives the result `resultName` for n, else 0.
int stoppedNumber(const std::string& resultName, const std::string& name) {
    if (name == stoppedName(resultName)) return 1;
    // "<stem>-stopped (<n>)<ext>", split as stoppedName splits; the whole name compared at the end
    // refuses leading zeros.
    const auto dot = resultName.find_last_of('.');
    const size_t stem = dot == std::string::npos || dot == 0 ? resultName.size() : dot;
    const std::string head = resultName.substr(0, stem) + "-stopped (", tail = ")" + resultName.substr(stem);
    if (name.size() <= head.size() + tail.size() || name.compare(0, head.size(), head) != 0) return 0;
    const std::string digits = name.substr(head.size(), name.size() - head.size() - tail.size());
    if (!allDigits(digits) || digits.size() > 4) return 0;
    const int n = std::stoi(digits);
    return n >= 2 && n <= kMaxStoppedNames && name == stoppedName(resultName, n) ? n : 0;
}

bool sameFile(int fd, const std::string& path) {
    struct stat byFd {
    }, byName{};
    return ::fstat(fd, &byFd) == 0 && ::lstat(path.c_str(), &byName) == 0 && byFd.st_dev == byName.st_dev &&
           byFd.st_ino == byName.st_ino;
}

// Moves from to to unless to exists; returns 0 or an errno value (EEXIST when to exists).
int renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
    // File systems without RENAME_NOREPLACE (NFS among them): a hard link refuses an existing
    // name too.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != ENOSYS) return errno;
    // Nor hard links (FAT, some network shares): take the name with an empty file first, which
    // only one run can create, then move the result over it.
    UniqueFd claim(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!claim) return errno;
    if (::rename(from.c_str(), to.c_str()) != 0) {
        const int err = errno;
        ::unlink(to.c_str());
        return err;
    }
    return 0;
}

}  // namespace

std::string stoppedName(const std::string& path, int n) {
    const std::string mark = n > 1 ? "-stopped (" + std::to_string(n) + ")" : "-stopped";
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // A leading dot starts a hidden name, not an extension.
    if (dot == std::string::npos || dot <= nameStart) return path + mark;
    return path.substr(0, dot) + mark + path.substr(dot);
}

int removeAbandonedParts(const std::string& folder) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir) return 0;
    int removed = 0;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string name = e->d_name;
        if (!isPartName(name)) continue;
        const std::string path = folder + "/" + name;
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (!fd || ::fstat(fd.get(), &st) != 0 || !isOurPart(fd.get(), st)) continue;
        // A live run holds the lock; ours only lasts until the file is gone.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
        if (sameFile(fd.get(), path) && ::unlink(path.c_str()) == 0) ++removed;
    }
    return removed;
}

std::vector<std::string> removeEarlierStoppedParts(const std::string& path) {
    const std::string resultName = nameOf(path);
    UniqueFd folder(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder) return {};
    std::vector<std::pair<int, std::string>> named;
    {
        // fdopendir keeps the descriptor it is given: a second one for the listing.
        std::unique_ptr<DIR, int (*)(DIR*)> dir(
            ::fdopendir(::openat(folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)), &::closedir);
        if (!dir) return {};
        while (const dirent* e = ::readdir(dir.get()))
            if (const int n = stoppedNumber(resultName, e->d_name)) named.emplace_back(n, e->d_name);
    }
    std::sort(named.begin(), named.end());
    std::vector<std::string> removed;
    for (const auto& [n, name] : named) {
        // Looked at before it is opened: a link is never followed, a FIFO or a device never opened.
        struct stat byName {
        }, opened{};
        if (::fstatat(folder.get(), name.c_str(), &byName, AT_SYMLINK_NOFOLLOW) != 0 || !isOursAlone(byName))
            continue;
        UniqueFd fd(
            ::openat(folder.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!fd || ::fstat(fd.get(), &opened) != 0 || !isOursAlone(opened) ||
            opened.st_dev != byName.st_dev || opened.st_ino != byName.st_ino)
            continue;
        // Without attributes nothing proves it ours.
        if (!carries(fd.get(), kPartAttribute, kPartAttributeValue).value_or(false) ||
            !carries(fd.get(), kStoppedAttribute, resultName).value_or(false))
            continue;
        // A run that kept it still reads it back while it holds the lock.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
        // The name must still lead to the file that was looked at.
        if (::fstatat(folder.get(), name.c_str(), &byName, AT_SYMLINK_NOFOLLOW) != 0 ||
            byName.st_dev != opened.st_dev || byName.st_ino != opened.st_ino)
            continue;
        if (::unlinkat(folder.get(), name.c_str(), 0) == 0) removed.push_back(name);
    }
    return removed;
}

OutputTarget::~OutputTarget() {
    discard();
}

Error OutputTarget::prepare(const std::string& input, const std::string& output, bool overwrite) {
    final_ = output;
    overwrite_ = overwrite;
    const std::string what = "output '" + output + "'";
    struct stat out {};
    const bool outExists = ::stat(output.c_str(), &out) == 0;
    if (isFileOf(input, output))
        return failure(what, "is the input file itself; the source is never overwritten");
    if (outExists && S_ISDIR(out.st_mode)) return failure(what, "is a folder");
    struct stat link {};
    if (!overwrite && ::lstat(output.c_str(), &link) == 0)
        return failure(what, "already exists; give -y to overwrite it");

    const std::string folder = folderOf(output);
    removeAbandonedParts(folder);
    const std::string prefix = folder + "/." + nameOf(output) + kPartMark + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = prefix + std::to_string(attempt);
        UniqueFd fd(::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd) {
            if (errno == EEXIST) continue;
            return sysError(errno, "cannot write into the result's folder '" + folder + "'");
        }
        // Another run may have found the file unlocked and removed it in between: then the name
        // no longer leads to this file, and another name is taken.
        if (::flock(fd.get(), LOCK_EX) != 0)
            return sysError(errno, "lock the working file in '" + folder + "'");
        if (!sameFile(fd.get(), candidate)) continue;
        // Marks it ours for a later sweep; a file system without attributes keeps none.
        if (::fsetxattr(fd.get(), kPartAttribute, kPartAttributeValue, sizeof kPartAttributeValue - 1, 0) !=
                0 &&
            errno != ENOTSUP && errno != EPERM)
            return sysError(errno, "mark the working file in '" + folder + "'");
        work_ = std::move(candidate);
        lock_ = std::move(fd);
        pending_ = true;
        return noError();
    }
    return failure("cannot write into the result's folder '" + folder + "'", "no free working file name");
}

Error OutputTarget::commit(bool stopped, std::string& keptAs) {
    const std::string what = "output '" + final_ + "'";
    if (!pending_) return failure(what, "nothing to commit");
    int err = 0;
    if (stopped) {
        // Marks it a part of this result before it has a name a later complete run looks for.
        const std::string resultName = nameOf(final_);
        ::fsetxattr(lock_.get(), kStoppedAttribute, resultName.data(), resultName.size(), 0);
        // Each name is taken exclusively: a file that appears meanwhile, even another run's part,
        // only moves this part on to the next number.
        err = EEXIST;
        for (int n = 1; err == EEXIST && n <= kMaxStoppedNames; ++n)
            err = renameNoReplace(work_, keptAs = stoppedName(final_, n));
        if (err == EEXIST)
            return failure("keep the stopped part beside " + what, "no free name up to '" + keptAs + "'");
        if (err != 0) return sysError(err, "keep the stopped part as '" + keptAs + "'");
    } else {
        keptAs = final_;
        if (overwrite_)
            err = ::rename(work_.c_str(), final_.c_str()) == 0 ? 0 : errno;
        else
            err = renameNoReplace(work_, final_);
        if (err == EEXIST) return failure(what, "already exists; give -y to overwrite it");
        if (err != 0) return sysError(err, "finish " + what);
        // Only in place: a working file killed before its rename is still known for ours.
        ::fremovexattr(lock_.get(), kPartAttribute);
        lock_.reset();
    }
    pending_ = false;
    return noError();
}

void OutputTarget::discard() noexcept {
    if (pending_) ::unlink(work_.c_str());
    pending_ = false;
    lock_.reset();
}

}  // namespace wm
