#include "encoder/output_target.h"

#include <gtest/gtest.h>

namespace {

TEST(StoppedName, GoesBeforeTheExtensionOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"/v/clip.mp4", "/v/clip-stopped.mp4"},
        {"clip.tar.mkv", "clip.tar-stopped.mkv"},
        {"/v.d/clip", "/v.d/clip-stopped"},  // a dot in the folder is no extension
        {"/v/.clip", "/v/.clip-stopped"},    // nor a hidden name's leading dot
        {"clip", "clip-stopped"},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(wm::stoppedName(path), expected) << path;
    EXPECT_EQ(wm::stoppedName("/v/clip.mp4", 2), "/v/clip-stopped-2.mp4");
}

}  // namespace
