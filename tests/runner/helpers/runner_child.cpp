// runner_child: the tiny console program the runner tests start. Each argument
// is one step, done in order:
//   p:TEXT    write TEXT to standard output (one write)
//   e:TEXT    write TEXT to standard error (one write)
//   r:N:C     write N copies of the character C to standard output in one write
//   s:MS      sleep MS milliseconds
//   g:MS      start a copy of itself that sleeps MS milliseconds, inheriting the
//             standard streams, and do not wait for it
//   f         list the open descriptors: "fd N -> TARGET" per line
//   i         ignore SIGTERM from now on
//   t:TEXT    on SIGTERM from now on, write TEXT to standard output and exit 143
//   c         close standard output and standard error
//   v:NAME    write the value of the environment variable NAME, or "(unset)"
//   x:CODE    exit at once with CODE
// With no argument it writes nothing and exits 0.
#include <dirent.h>
#include <spawn.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

extern char** environ;

namespace {

std::string lastWords;

void sayLastWords(int) {
    (void)!::write(STDOUT_FILENO, lastWords.data(), lastWords.size());
    std::_Exit(143);
}

void writeAll(int fd, const std::string& text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) std::_Exit(90);
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

void sleepMs(long ms) {
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    while (::nanosleep(&t, &t) != 0 && errno == EINTR) {}
}

void listFds() {
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir) std::_Exit(91);
    std::string out;
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        const int fd = std::atoi(e->d_name);
        if (fd == ::dirfd(dir)) continue;
        char target[4096];
        const std::string link = std::string("/proc/self/fd/") + e->d_name;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        out += "fd " + std::to_string(fd) + " -> " + std::string(target, n > 0 ? n : 0) + "\n";
    }
    ::closedir(dir);
    writeAll(STDOUT_FILENO, out);
}

void startSleepingCopy(const char* self, const std::string& ms) {
    const std::string step = "s:" + ms;
    char* argv[] = {const_cast<char*>(self), const_cast<char*>(step.c_str()), nullptr};
    pid_t pid;
    if (::posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, environ) != 0) std::_Exit(92);
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i];
        const std::string value = step.size() > 2 ? step.substr(2) : std::string();
        if (step.rfind("p:", 0) == 0) {
            writeAll(STDOUT_FILENO, value);
        } else if (step.rfind("e:", 0) == 0) {
            writeAll(STDERR_FILENO, value);
        } else if (step.rfind("r:", 0) == 0) {
            const std::size_t colon = value.find(':');
            const long count = std::atol(value.substr(0, colon).c_str());
            const char c = colon + 1 < value.size() ? value[colon + 1] : 'x';
            writeAll(STDOUT_FILENO, std::string(static_cast<std::size_t>(count), c));
        } else if (step.rfind("s:", 0) == 0) {
            sleepMs(std::atol(value.c_str()));
        } else if (step.rfind("g:", 0) == 0) {
            startSleepingCopy(argv[0], value);
        } else if (step == "f") {
            listFds();
        } else if (step == "i") {
            std::signal(SIGTERM, SIG_IGN);
        } else if (step.rfind("t:", 0) == 0) {
            lastWords = value;
            std::signal(SIGTERM, sayLastWords);
        } else if (step == "c") {
            ::close(STDOUT_FILENO);
            ::close(STDERR_FILENO);
        } else if (step.rfind("v:", 0) == 0) {
            const char* v = std::getenv(value.c_str());
            writeAll(STDOUT_FILENO, v ? v : "(unset)");
        } else if (step.rfind("x:", 0) == 0) {
            std::_Exit(std::atoi(value.c_str()));
        } else {
            return 99;
        }
    }
    return 0;
}
