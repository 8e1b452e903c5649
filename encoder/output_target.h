// Where the result goes. The encoder writes a hidden file beside the result and renames it over
// the result only when it holds a finished container, so a failed run never leaves a broken file
// under the result's name nor destroys an earlier result. The source is never a valid result.
#pragma once

#include <string>

#include "encoder/error.h"

namespace wm {

class OutputTarget {
public:
    OutputTarget() = default;
    OutputTarget(const OutputTarget&) = delete;
    OutputTarget& operator=(const OutputTarget&) = delete;
    ~OutputTarget();

    // Refuses the source itself (same path or same file), an existing result without `overwrite`,
    // and a folder where no file can be made.
    Error prepare(const std::string& input, const std::string& output, bool overwrite);
    const std::string& workPath() const noexcept { return work_; }
    Error commit();
    void discard() noexcept;

private:
    std::string work_, final_;
    bool pending_ = false;
};

}  // namespace wm
