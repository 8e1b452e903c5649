/* The frame-hook interface between the encoder and a loadable module such as "watermark.dll".
 *
 * The encoder loads the module named by "-vhook", checks wm_hook_abi_version() against
 * WM_HOOK_ABI_VERSION, creates one instance with the words that followed the module path and the
 * format of the decoded frames, calls wm_hook_process() once per frame in presentation order from
 * a single thread, and destroys the instance before it unloads the module.
 *
 * A module that needs each frame's time also exports wm_hook_process_at(); the encoder then calls
 * it instead of wm_hook_process(), with the frame's presentation time in seconds from the start of
 * the video stream. The symbol is optional, so the interface version stays 1: a module without it
 * loads as before, and a module with it still loads into an encoder that knows only
 * wm_hook_process() ("watermark.dll" then refuses the frames only when it was given a time range,
 * never lays the mark at the wrong time).
 *
 * A module that lays colours by the video's light also exports wm_hook_create_colour(); the
 * encoder then creates the instance through it, with the frames' transfer and primaries besides
 * their format. Optional as well: a module without it is created as before, and
 * "watermark.dll" created through wm_hook_create() takes the frames as SDR.
 *
 * Plain C: no exception, no C++ object and no allocation crosses this boundary. The module owns
 * its instance; the encoder owns the frames. */
#ifndef WM_HOOK_API_H
#define WM_HOOK_API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define WM_HOOK_ABI_VERSION 1

typedef struct WmHookFrameFormat {
    int width; /* frame size in pixels */
    int height;
    const char* pixel_format; /* libavutil pixel format name, e.g. "yuv420p" */
    int color_matrix; /* AVColorSpace value of YUV frames; unspecified: by the height (rules/mark_colour.h) */
    int full_range;   /* 1 for full-range YUV, 0 for limited (video) range */
} WmHookFrameFormat;

typedef struct WmHookFrameColour {
    int transfer;  /* AVColorTransferCharacteristic: PQ (16), HLG (18); others are SDR */
    int primaries; /* AVColorPrimaries */
} WmHookFrameColour;

typedef struct WmHook WmHook;

/* Returns WM_HOOK_ABI_VERSION of the module's build. */
typedef int (*WmHookAbiVersionFn)(void);
/* argv holds argc words (the module path is not among them). On failure returns NULL and writes a
 * NUL-terminated message of at most error_size bytes into error. */
typedef WmHook* (*WmHookCreateFn)(int argc, const char* const* argv, const WmHookFrameFormat* format,
                                  char* error, size_t error_size);
/* Changes one frame in place. planes/strides as in AVFrame data/linesize (strides in bytes, may be
 * larger than a row). Returns 0, or non-zero when the frame could not be processed. */
typedef int (*WmHookProcessFn)(WmHook* hook, uint8_t* const planes[4], const int strides[4]);
typedef void (*WmHookDestroyFn)(WmHook* hook);
/* Optional. As WmHookCreateFn, for frames of this transfer and primaries. */
typedef WmHook* (*WmHookCreateColourFn)(int argc, const char* const* argv, const WmHookFrameFormat* format,
                                        const WmHookFrameColour* colour, char* error, size_t error_size);
/* Optional. As WmHookProcessFn, for a frame shown `seconds` after the stream's start. */
typedef int (*WmHookProcessAtFn)(WmHook* hook, uint8_t* const planes[4], const int strides[4],
                                 double seconds);

#define WM_HOOK_SYMBOL_ABI_VERSION "wm_hook_abi_version"
#define WM_HOOK_SYMBOL_CREATE "wm_hook_create"
#define WM_HOOK_SYMBOL_PROCESS "wm_hook_process"
#define WM_HOOK_SYMBOL_DESTROY "wm_hook_destroy"
#define WM_HOOK_SYMBOL_PROCESS_AT "wm_hook_process_at"
#define WM_HOOK_SYMBOL_CREATE_COLOUR "wm_hook_create_colour"

#ifdef __cplusplus
}
#endif

#endif /* WM_HOOK_API_H */
