#include "jobs/run_end.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kProgress =
    "frame=  118 fps= 59 q=2.0 size=    1024kB time=4.72 bitrate= 1777.4kbits/s\r"
    "frame=  120 fps= 60 q=2.0 size=    1040kB time=4.80 bitrate= 1775.0kbits/s\r\n";

const std::string kChecked = "check: 0:04.8, 120 frames, 2 streams\n";

std::string closing(const std::string& part) {
    return "Stopped by signal 15; the part converted so far is kept as '" + part +
           "', the result's name is left untouched.\n";
}

// The runner hands the encoder's bytes one character each.
QString asRunnerHandsIt(const std::string& utf8) {
    return QString::fromLatin1(QByteArray::fromStdString(utf8));
}

struct EndCase {
    const char* label;
    int exitCode, percent;
    std::string text;
    RunEnd::Kind kind;
    std::string line, path;
};

TEST(RunEnd, OneLineForEveryWayARunEnds) {
    const std::string result = "/v/watermarked/wm-clip.mp4";
    const std::string oddPart = "/v/watermarked/wm-Bob's ', Fähre\nzwei-stopped (2).mp4";
    const EndCase cases[] = {
        {"complete and checked", 0, 100, kProgress + kChecked, RunEnd::Kind::Done,
         "Done and checked: wm-clip.mp4, 0:04.8, 120 frames, 2 streams", result},
        // The parts earlier stopped runs kept of the result, removed once it was checked whole.
        {"complete, an earlier part removed", 0, 100,
         kProgress + kChecked + "Removed the earlier stopped part 'wm-clip-stopped.mp4'.\n",
         RunEnd::Kind::Done,
         "Done and checked: wm-clip.mp4, 0:04.8, 120 frames, 2 streams; the earlier stopped part is removed",
         result},
        {"complete, two earlier parts removed", 0, 100,
         kProgress + kChecked +
             "Removed 2 earlier stopped parts: 'wm-clip-stopped.mp4', 'wm-clip-stopped (2).mp4'.\n",
         RunEnd::Kind::Done,
         "Done and checked: wm-clip.mp4, 0:04.8, 120 frames, 2 streams; 2 earlier stopped parts are removed",
         result},
        {"complete, parts removed, then stopped", 130, 100,
         kProgress + kChecked + "Removed the earlier stopped part 'wm-clip-stopped.mp4'.\n" +
             "Stopped by signal 2; the result was already complete.\n",
         RunEnd::Kind::Done,
         "Done and checked: wm-clip.mp4, 0:04.8, 120 frames, 2 streams; the earlier stopped part is removed",
         result},
        // A smart run says what it coded again; the line comes as UTF-8 bytes from the encoder.
        {"complete, smart", 0, 100,
         kProgress + "Re-encoded 0:00\u20130:12 of 3:00, the rest copied.\n" + kChecked +
             "Removed the earlier stopped part 'wm-clip-stopped.mp4'.\n",
         RunEnd::Kind::Done,
         "Done and checked: wm-clip.mp4, 0:04.8, 120 frames, 2 streams; re-encoded 0:00\u20130:12 of 3:00, "
         "the "
         "rest copied; the earlier stopped part is removed",
         result},
        {"stopped, smart", 143, 42,
         kProgress + "Re-encoded 1:30\u20131:42 of 3:00, the rest copied.\n" + kChecked +
             closing("/v/watermarked/wm-clip-stopped.mp4"),
         RunEnd::Kind::Stopped,
         "Stopped at 42 %: the part is wm-clip-stopped.mp4, checked: 0:04.8, 120 frames, 2 streams; "
         "re-encoded "
         "1:30\u20131:42 of 3:00, the rest copied",
         "/v/watermarked/wm-clip-stopped.mp4"},
        {"complete, smart, nothing marked", 0, 100, kProgress + "Nothing re-encoded of 3:00, all copied.\n",
         RunEnd::Kind::Done, "Done: wm-clip.mp4; nothing re-encoded of 3:00, all copied", result},
        // An encoder that was told to stop at once leaves the check out.
        {"complete, not checked", 0, 100, kProgress, RunEnd::Kind::Done, "Done: wm-clip.mp4", result},
        {"stopped and checked", 143, 42, kProgress + kChecked + closing("/v/watermarked/wm-clip-stopped.mp4"),
         RunEnd::Kind::Stopped,
         "Stopped at 42 %: the part is wm-clip-stopped.mp4, checked: 0:04.8, 120 frames, 2 streams",
         "/v/watermarked/wm-clip-stopped.mp4"},
        {"stopped, the check failed", 143, 42,
         kProgress + "Check failed: its last frame does not decode.\n" +
             closing("/v/watermarked/wm-clip-stopped.mp4"),
         RunEnd::Kind::Stopped,
         "Stopped at 42 %: the part is wm-clip-stopped.mp4, but its check failed: its last frame does not "
         "decode.",
         "/v/watermarked/wm-clip-stopped.mp4"},
        // The file is kept, under a part's name, and shown.
        {"complete, the check failed", 1, 100,
         kProgress + "Check failed: 120 frames written, 80 in the file; the file is kept as "
                     "'/v/watermarked/wm-clip-stopped.mp4'.\n",
         RunEnd::Kind::Failed,
         "Failed the check: 120 frames written, 80 in the file; the file is kept as wm-clip-stopped.mp4",
         "/v/watermarked/wm-clip-stopped.mp4"},
        {"stopped", 143, 42, kProgress + closing("/v/watermarked/wm-clip-stopped.mp4"), RunEnd::Kind::Stopped,
         "Stopped at 42 %: the part is wm-clip-stopped.mp4", "/v/watermarked/wm-clip-stopped.mp4"},
        // Quotes, a comma, a line break and UTF-8 in the name: the path is taken whole.
        {"stopped, odd name", 143, 7, kProgress + closing(oddPart), RunEnd::Kind::Stopped,
         "Stopped at 7 %: the part is wm-Bob's ', Fähre\nzwei-stopped (2).mp4", oddPart},
        {"stopped before the first frame", 143, 0, "Stopped by signal 15; nothing was written.\n",
         RunEnd::Kind::Stopped, "Stopped at 0 %: nothing was written", ""},
        {"stopped while opening", 130, 0,
         "Stopped by signal 2 while the input was being opened; nothing was written.\n",
         RunEnd::Kind::Stopped, "Stopped at 0 %: nothing was written", ""},
        {"stopped once the result was complete", 143, 100,
         kProgress + kChecked + "Stopped by signal 15; the result was already complete.\n",
         RunEnd::Kind::Done, "Done and checked: wm-clip.mp4, 0:04.8, 120 frames, 2 streams", result},
        {"failed", 1, 30, kProgress + "finish output '/v/watermarked/wm-clip.mp4': No space left on device\n",
         RunEnd::Kind::Failed, "Failed: finish output '/v/watermarked/wm-clip.mp4': No space left on device",
         ""},
        {"failed, non-ASCII reason", 1, 0, "cannot open mask '/home/jürgen/mask.bmp'\n", RunEnd::Kind::Failed,
         "Failed: cannot open mask '/home/jürgen/mask.bmp'", ""},
        // Killed or crashed mid-run: the last line is progress, not a reason.
        {"crashed", 139, 50, kProgress.substr(0, kProgress.size() - 2), RunEnd::Kind::Failed,
         "Failed: the encoder ended with code 139 without saying why", ""},
        {"silent", 1, 0, "", RunEnd::Kind::Failed, "Failed: the encoder ended with code 1 without saying why",
         ""},
    };
    for (const EndCase& c : cases) {
        // The same end whether the text comes as bytes or already decoded.
        for (const QString& text : {asRunnerHandsIt(c.text), QString::fromStdString(c.text)}) {
            SCOPED_TRACE(c.label);
            const RunEnd end = endOfRun(c.exitCode, c.percent, QString::fromStdString(result), text);
            EXPECT_EQ(end.kind, c.kind);
            EXPECT_EQ(end.text.toStdString(), c.line);
            EXPECT_EQ(end.path.toStdString(), c.path);
        }
    }
}

TEST(RunEnd, PartOnlyFromAClosingLineThatEndsTheText) {
    EXPECT_EQ(stoppedPartPath(QString::fromStdString(kProgress + closing("/v/a-stopped.mp4"))),
              QStringLiteral("/v/a-stopped.mp4"));
    for (const std::string& text : {
             std::string(),
             kProgress,
             closing("/v/a-stopped.mp4") + "something after it\n",
             closing(""),
             std::string("Stopped by signal 15; the result holds the part converted so far.\n"),
             // Only a line of its own counts.
             std::string(
                 "Note: Stopped by signal 15; the part converted so far is kept as '/v/a.mp4', the result's "
                 "name is left untouched.\n"),
         })
        EXPECT_EQ(stoppedPartPath(QString::fromStdString(text)), std::nullopt) << text;
}

}  // namespace
