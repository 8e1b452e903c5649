// Running the encoder and Debian's ffmpeg tools from tests, with fixtures cached on disk.
#pragma once

#include <sys/types.h>
#include <memory>
#include <string>
#include <vector>

namespace enc_test {

struct RunResult {
    bool exited = false;  // false: killed by a signal (a crash)
    int status = -1;      // exit status when exited
    std::string output;   // standard output and standard error, joined
};

// Runs program with args, stdin from /dev/null, output captured.
RunResult run(const std::string& program, const std::vector<std::string>& args);
RunResult runEncoder(const std::vector<std::string>& args);
std::string encoderPath();
std::string hookPath();

// How a Child starts besides its arguments.
struct ChildOptions {
    bool ownGroup = false;         // in a process group of its own, as a terminal's job
    std::vector<std::string> env;  // "NAME=value" added to the test's environment
};

// A running encoder whose console is a pipe the test reads.
class Child {
public:
    explicit Child(const std::vector<std::string>& args, const ChildOptions& options = {});
    ~Child();
    pid_t pid() const { return pid_; }
    // Reads until the text holds `marker` or the pipe ends; returns what was read so far.
    std::string readUntil(const std::string& marker, int timeoutMs);
    void closeConsole();
    // Waits for the end; returns false when it did not end in timeoutMs.
    bool wait(int timeoutMs, RunResult& result);

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string seen_;
};

// Feeds a file into a FIFO from a thread: the first `head` bytes, then, once released, the rest,
// then closes its end. Until released the FIFO stays open and silent, like a stalled source.
class FifoFeeder {
public:
    FifoFeeder(const std::string& fifo, const std::string& file, size_t head);
    ~FifoFeeder();
    void release();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A fixture made once by ffmpeg (args between "-y" and the output path) under the test folder.
std::string fixture(const std::string& name, const std::vector<std::string>& ffmpegArgs);
// A fixture made of fixtures joined byte for byte, as a recording cut and appended; each part is
// made by ffmpeg from its args.
std::string joinedFixture(const std::string& name, const std::vector<std::vector<std::string>>& parts);
// A fresh empty folder for one test.
std::string scratchFolder(const std::string& name);
// ffprobe's value of one entry (e.g. "stream=width") of the first video or audio stream.
std::string probeValue(const std::string& file, const std::string& select, const std::string& entry);
int countFrames(const std::string& file);
// Writes a 24-bit BMP of the key colour black with the test logo (a red and a white half) at
// (lx, ly), 60x40 pixels. False when the file could not be written.
[[nodiscard]] bool writeMask(const std::string& path, int width, int height, int lx, int ly);

}  // namespace enc_test
