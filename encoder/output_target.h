// Where the result goes. The encoder writes a hidden part file beside the result and moves it to
// the result's name only when it holds the whole conversion in a finished container, so a failed or
// stopped run never leaves a broken or short file under the result's name nor destroys an earlier
// result. The source is never a valid result.
//
// The part file stays locked (flock) for the run's whole life. A part file whose lock can be taken
// belongs to no live run (its writer was killed or crashed) and is removed by the next run into
// the same folder; the lock goes with the process, so a reused process id cannot fool this. Only
// files that are surely ours go: our name (".<result>.wmpart-<pid>-<n>"), our attribute
// (user.watermark-image.part, where the file system keeps attributes), this user's, one link.
//
// A stopped part keeps that attribute and gets a second one naming the result it stands for
// (user.watermark-image.stopped); a complete result carries neither, so it never passes for a part.
#pragma once

#include <string>
#include <vector>

#include "encoder/error.h"
#include "encoder/unique_fd.h"

namespace wm {

class OutputTarget {
public:
    OutputTarget() = default;
    OutputTarget(const OutputTarget&) = delete;
    OutputTarget& operator=(const OutputTarget&) = delete;
    ~OutputTarget();

    // Refuses the source itself (same path or same file), an existing result without `overwrite`,
    // and a folder where no file can be made. Clears abandoned part files from the folder.
    Error prepare(const std::string& input, const std::string& output, bool overwrite);
    const std::string& workPath() const noexcept { return work_; }
    // Moves the finished file into place. Without `overwrite` an existing file is never replaced,
    // even one that appeared during the run. A stopped run's part never takes the result's name,
    // so it never passes for a complete result: it goes to the first free name of
    // "<stem>-stopped.<ext>", "<stem>-stopped (2).<ext>", ..., and never replaces a file, whatever
    // `overwrite` says. keptAs: the name used. A kept part stays locked until discard(), so that a
    // complete run of the same result leaves it alone while it is read back.
    Error commit(bool stopped, std::string& keptAs);
    void discard() noexcept;

private:
    std::string work_, final_;
    bool overwrite_ = false;
    bool pending_ = false;
    UniqueFd lock_;  // the part file, open and locked while pending
};

// "<folder>/<stem>-stopped.<ext>" for "<folder>/<stem>.<ext>"; "-stopped (<n>)" when n > 1.
std::string stoppedName(const std::string& path, int n = 1);
// Removes the part files in folder that no live run holds; returns how many.
int removeAbandonedParts(const std::string& folder);
// Removes the parts earlier stopped runs kept of the result at `path`, once it is complete: only
// files in its folder named as stoppedName(path, n) names them, regular, this user's, with one
// link, marked as a stopped part of this very result and held by no live run. Where the file
// system keeps no attributes nothing proves a file ours, and nothing goes. Returns the names
// removed, by their number.
std::vector<std::string> removeEarlierStoppedParts(const std::string& path);

}  // namespace wm
