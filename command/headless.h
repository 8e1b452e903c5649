// The program without its windows: a job run over videos and folders from
// the command line, for ssh sessions, scripts and clusters. No display is
// needed; see README ("Many videos without the windows") for the options and
// exit codes.
#pragma once

#include "jobs/batch_run.h"
#include "jobs/job.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QProcessEnvironment;
class QTextStream;

// Exit codes.
inline constexpr int kAllDone = 0;     // every video done or skipped
inline constexpr int kSomeFailed = 1;  // the others done
inline constexpr int kBadUsage = 2;    // bad usage or a bad job: nothing started

struct HeadlessCall {
    bool help = false;         // --help, -h
    bool version = false;      // --version
    QString jobFile;           // --job
    std::optional<Job> job;    // from --picture or --text and the placement options
    QString saveJob;           // --save-job
    int jobs = 1;              // --jobs
    QString output;            // --output
    bool replace = false;      // --replace
    bool json = false;         // --progress=json
    bool listFiles = false;    // --list-files: the files the job reads, one a line
    bool listPending = false;  // --list-pending: each video without its result, and the result's name
    QString watch;             // --watch: the folder whose new videos are converted
    QStringList inputs;        // videos and folders
};

// Whether the arguments (without the program's name) ask for the program
// without its windows: they start with a long option (known or not) or -h.
bool isHeadlessCall(const QStringList& args);

// Whether the windows have somewhere to show: a display in the environment, a
// platform chosen for Qt, or "-platform" among the arguments.
bool displayGiven(const QProcessEnvironment& env, const QStringList& args);
// What the program says when the windows were asked for with no display.
QString noDisplayText();

// The call the arguments make; nothing and `why` for bad usage. A job from
// --picture gets the picture's checksum taken now.
std::optional<HeadlessCall> parseHeadlessArgs(const QStringList& args, QString* why);

// The usage text of --help.
QString headlessUsage();

// Runs the call to its end; SIGTERM, SIGINT and SIGHUP stop every running
// encoder its own way (parts kept) and give 128 + the signal. With `terminal`
// (standard error is one), a line per running video is drawn on `err` and
// redrawn as it goes.
int runHeadless(const QStringList& args, QTextStream& out, QTextStream& err, bool terminal = false);

// The lines a terminal shows while videos convert, one per running video:
// "converting  clip.mp4  42 %  2.3x, about 0:41 left", each shorter than `width`.
QStringList progressLines(const std::vector<BatchVideo>& videos, int width);

// Lines drawn at the bottom of a terminal and drawn again in their place.
class TerminalStatus {
public:
    TerminalStatus(QTextStream& err, bool terminal);
    TerminalStatus(const TerminalStatus&) = delete;
    TerminalStatus& operator=(const TerminalStatus&) = delete;
    ~TerminalStatus();
    // The lines in place of those drawn before.
    void draw(const QStringList& lines);
    // Takes the lines away, so that other text starts where they were.
    void clear();
    const bool terminal;

private:
    QTextStream& err_;
    int drawn_ = 0;
};

// The columns of the terminal standard error is on; 80 when it says none.
int terminalWidth();
