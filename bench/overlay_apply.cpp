// Times Overlay::apply alone on a yuv420p frame: the watermark module's work per frame, which the
// conversion timings of alpha_bench.sh hide in the codecs' noise; at the mark's whole weight and as
// a time range lays it (half way through a fade, hidden). Built and run by alpha_bench.sh and
// time_range_bench.sh:
//   overlay_apply <width> <height> <mask.bmp>[:opacity] ...
#include "encoder/hook/mask_bmp.h"
#include "encoder/hook/overlay.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <width> <height> <mask.bmp>[:opacity] ...\n", argv[0]);
        return 2;
    }
    const int w = std::atoi(argv[1]), h = std::atoi(argv[2]);
    AVFrame* frame = av_frame_alloc();
    frame->width = w, frame->height = h, frame->format = AV_PIX_FMT_YUV420P;
    if (!frame || av_frame_get_buffer(frame, 0) < 0) return 1;
    for (int i = 3; i < argc; ++i) {
        std::string arg = argv[i], path = arg;
        int opacity = 100;
        if (const auto colon = arg.rfind(':'); colon != std::string::npos) {
            path = arg.substr(0, colon);
            opacity = std::atoi(arg.c_str() + colon + 1);
        }
        wm::RgbImage mask;
        wm::Overlay overlay;
        std::string error;
        if (!wm::readMaskBmp(path, mask, error) ||
            !overlay.build(mask, {0, 0, 0}, {w, h, "yuv420p", 2, false}, error, opacity)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        // The whole mark, and as a time range lays it: half way through a fade, and hidden.
        for (const unsigned factor : {256u, 128u, 0u}) {
            constexpr int kFrames = 2000;
            std::vector<double> perFrame;
            for (int batch = 0; batch < 7; ++batch) {
                const auto start = std::chrono::steady_clock::now();
                for (int f = 0; f < kFrames; ++f)
                    overlay.apply(frame->data, frame->linesize, factor);
                perFrame.push_back(
                    std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                        .count() /
                    kFrames);
            }
            std::sort(perFrame.begin(), perFrame.end());
            std::printf(
                "apply %-24s opacity %3d, time weight %3u/256: median %.1f us per frame (fastest batch "
                "%.1f)\n",
                path.substr(path.rfind('/') + 1).c_str(), opacity, factor, perFrame[3], perFrame[0]);
        }
    }
    av_frame_free(&frame);
    return 0;
}
