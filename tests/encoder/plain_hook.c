/* A module of the first hook interface, without wm_hook_process_at: it blacks out the first plane
 * of every frame. */
#include <stdlib.h>
#include <string.h>

#include "encoder/hook/hook_api.h"

struct WmHook {
    int height;
};

int wm_hook_abi_version(void) {
    return WM_HOOK_ABI_VERSION;
}

WmHook* wm_hook_create(int argc, const char* const* argv, const WmHookFrameFormat* format, char* error,
                       size_t error_size) {
    (void)argc, (void)argv, (void)error, (void)error_size;
    WmHook* hook = malloc(sizeof *hook);
    if (hook) hook->height = format->height;
    return hook;
}

int wm_hook_process(WmHook* hook, uint8_t* const planes[4], const int strides[4]) {
    memset(planes[0], 0, (size_t)strides[0] * (size_t)hook->height);
    return 0;
}

void wm_hook_destroy(WmHook* hook) {
    free(hook);
}
