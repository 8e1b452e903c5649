// "watermark.dll": the keyed, alpha-blended overlay frame hook, behind the C interface of hook_api.h.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "encoder/hook/hook_api.h"
#include "encoder/hook/hook_args.h"
#include "encoder/hook/mask_bmp.h"
#include "encoder/hook/overlay.h"
#include "rules/time_weight.h"

struct WmHook {
    wm::Overlay overlay;
    rules::TimeRange range;
};

namespace {

void setError(char* error, size_t size, const std::string& text) {
    if (error && size > 0) std::snprintf(error, size, "%s", text.c_str());
}

}  // namespace

#define WM_EXPORT extern "C" __attribute__((visibility("default")))

WM_EXPORT int wm_hook_abi_version(void) {
    return WM_HOOK_ABI_VERSION;
}

namespace {

WmHook* create(int argc, const char* const* argv, const WmHookFrameFormat* format,
               const WmHookFrameColour& colour, char* error, size_t errorSize) {
    try {
        if (!format || !format->pixel_format || argc < 0 || (argc > 0 && !argv)) {
            setError(error, errorSize, "invalid arguments");
            return nullptr;
        }
        std::vector<std::string> args(argv, argv + argc);
        wm::HookArgs parsed;
        std::string why;
        if (!wm::parseHookArgs(args, parsed, why)) {
            setError(error, errorSize, why);
            return nullptr;
        }
        wm::RgbImage mask;
        if (!wm::readMaskBmp(parsed.maskPath, mask, why)) {
            setError(error, errorSize, why);
            return nullptr;
        }
        auto hook = std::make_unique<WmHook>();
        hook->range = parsed.range;
        wm::OverlayFormat f{format->width,        format->height,          format->pixel_format,
                            format->color_matrix, format->full_range != 0, colour.transfer,
                            colour.primaries};
        if (!hook->overlay.build(mask, parsed.key, f, why, parsed.opacity)) {
            setError(error, errorSize, why);
            return nullptr;
        }
        return hook.release();
    } catch (const std::exception& e) {
        setError(error, errorSize, e.what());
    } catch (...) {
        setError(error, errorSize, "unexpected failure");
    }
    return nullptr;
}

}  // namespace

WM_EXPORT WmHook* wm_hook_create(int argc, const char* const* argv, const WmHookFrameFormat* format,
                                 char* error, size_t errorSize) {
    return create(argc, argv, format, WmHookFrameColour{2, 2}, error, errorSize);
}

WM_EXPORT WmHook* wm_hook_create_colour(int argc, const char* const* argv, const WmHookFrameFormat* format,
                                        const WmHookFrameColour* colour, char* error, size_t errorSize) {
    if (!colour) {
        setError(error, errorSize, "invalid arguments");
        return nullptr;
    }
    return create(argc, argv, format, *colour, error, errorSize);
}

WM_EXPORT int wm_hook_process(WmHook* hook, uint8_t* const planes[4], const int strides[4]) {
    if (!hook || !planes || !strides) return -1;
    // A time range needs each frame's time, which an encoder calling this does not give.
    if (hook->range.limited()) return -1;
    hook->overlay.apply(planes, strides);
    return 0;
}

WM_EXPORT int wm_hook_process_at(WmHook* hook, uint8_t* const planes[4], const int strides[4],
                                 double seconds) {
    if (!hook || !planes || !strides) return -1;
    hook->overlay.apply(planes, strides, rules::timeFactor(rules::timeWeight(seconds, hook->range)));
    return 0;
}

WM_EXPORT void wm_hook_destroy(WmHook* hook) {
    std::unique_ptr<WmHook> owned(hook);
}
