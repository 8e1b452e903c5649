// The encoder's side of the frame hook: loads the module named by "-vhook", checks its interface
// version, creates one instance for the decoded frames' format and runs it on each frame.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "encoder/error.h"
#include "encoder/hook/hook_api.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

struct AVFrame;

namespace wm {

struct HookLibraryCloser {
    void operator()(void* handle) const noexcept;
};
struct HookInstanceDestroyer {
    WmHookDestroyFn destroy = nullptr;
    void operator()(WmHook* h) const noexcept {
        if (destroy && h) destroy(h);
    }
};

// The pixel format the hook sees: the decoder's own when the hook can write it, else the
// encoder's, else yuv420p.
AVPixelFormat hookPixelFormat(AVPixelFormat decoded, AVPixelFormat encoded);

class FrameHook {
public:
    // words: the "-vhook" value split at white space; words[0] is the module path. The colour
    // reaches a module that exports wm_hook_create_colour.
    static Error open(const std::vector<std::string>& words, const WmHookFrameFormat& format,
                      std::unique_ptr<FrameHook>& out, const WmHookFrameColour& colour = {2, 2});
    // The frame must be writable. `seconds`: when it is shown, from the start of the video stream;
    // the module hears it when it exports wm_hook_process_at.
    Error process(AVFrame* frame, double seconds);

private:
    // Declared in this order so the instance goes before the module is unloaded.
    std::unique_ptr<void, HookLibraryCloser> library_;
    WmHookProcessFn process_ = nullptr;
    WmHookProcessAtFn processAt_ = nullptr;  // nullptr when the module has none
    std::unique_ptr<WmHook, HookInstanceDestroyer> instance_;
    std::string name_;
};

}  // namespace wm
