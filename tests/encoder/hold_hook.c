/* A module that holds the conversion at one frame, so that a test stops the run at a known place:
 * at the frame its first word names (1 for the first) it says "held at frame N" on standard error
 * and waits until a signal reaches the encoder, a minute at most. With a second word, a path, it
 * waits instead until that file exists (a minute at most) and goes on: the test changes things
 * meanwhile. Frames are left as they are. */
#define _GNU_SOURCE
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include "encoder/hook/hook_api.h"

struct WmHook {
    long at, seen;
    char go[4096];
};

int wm_hook_abi_version(void) {
    return WM_HOOK_ABI_VERSION;
}

WmHook* wm_hook_create(int argc, const char* const* argv, const WmHookFrameFormat* format, char* error,
                       size_t error_size) {
    (void)format;
    if (argc < 1 || argc > 2 || atol(argv[0]) < 1) {
        snprintf(error, error_size, "give the frame to hold at, and the file to wait for");
        return NULL;
    }
    WmHook* hook = malloc(sizeof *hook);
    if (hook) {
        hook->at = atol(argv[0]), hook->seen = 0;
        snprintf(hook->go, sizeof hook->go, "%s", argc == 2 ? argv[1] : "");
    }
    return hook;
}

int wm_hook_process(WmHook* hook, uint8_t* const planes[4], const int strides[4]) {
    (void)planes, (void)strides;
    if (++hook->seen == hook->at && hook->go[0]) {
        fprintf(stderr, "held at frame %ld\n", hook->at);
        fflush(stderr);
        for (int waited = 0; waited < 6000 && access(hook->go, F_OK) != 0; ++waited) {
            const struct timespec tick = {0, 10000000};
            nanosleep(&tick, NULL);
        }
    } else if (hook->seen == hook->at) {
        /* Held back until the wait: a signal right after the line still ends it. The encoder's
         * handler passes every stop signal on to this thread. */
        sigset_t stops, before;
        sigemptyset(&stops);
        sigaddset(&stops, SIGINT), sigaddset(&stops, SIGTERM), sigaddset(&stops, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &stops, &before);
        fprintf(stderr, "held at frame %ld\n", hook->at);
        fflush(stderr);
        const struct timespec wait = {60, 0};
        ppoll(NULL, 0, &wait, &before);
        pthread_sigmask(SIG_SETMASK, &before, NULL);
    }
    return 0;
}

void wm_hook_destroy(WmHook* hook) {
    free(hook);
}
