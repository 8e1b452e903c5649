// Preloaded into the encoder: a result's folder that stops taking writes, as a network share whose
// server went away. Once the encoder's working file would pass STALLING_DISK_BYTES, each of the next
// STALLING_DISK_PAUSES writes to it (every one when unset) first waits STALLING_DISK_SECONDS (for
// ever when unset), signals or not; "disk stalled" on standard error marks the first wait.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

static int isWorkingFile(int fd) {
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0) return 0;
    path[n] = '\0';
    return strstr(path, ".wmpart-") != NULL;
}

static void stall(long seconds) {
    struct timespec left = {seconds < 0 ? 3600 : seconds, 0};
    for (;;) {
        while (nanosleep(&left, &left) != 0) {}
        if (seconds >= 0) return;
        left.tv_sec = 3600;
    }
}

ssize_t write(int fd, const void* data, size_t count) {
    static ssize_t (*real)(int, const void*, size_t);
    static long pausesLeft = -2;  // -2: not read yet; -1: no end
    static int said = 0;
    // dlsym hands functions as object pointers; POSIX makes the copy well defined.
    if (!real) {
        void* next = dlsym(RTLD_NEXT, "write");
        memcpy(&real, &next, sizeof real);
    }
    const char* limit = getenv("STALLING_DISK_BYTES");
    if (limit && fd > 2 && isWorkingFile(fd)) {
        if (pausesLeft == -2) {
            const char* pauses = getenv("STALLING_DISK_PAUSES");
            pausesLeft = pauses ? strtol(pauses, NULL, 10) : -1;
        }
        const off_t at = lseek(fd, 0, SEEK_CUR);
        if (pausesLeft != 0 && at >= 0 && at + (off_t)count > (off_t)strtoll(limit, NULL, 10)) {
            if (pausesLeft > 0) --pausesLeft;
            if (!said) {
                said = 1;
                real(2, "disk stalled\n", 13);
            }
            const char* seconds = getenv("STALLING_DISK_SECONDS");
            stall(seconds ? strtol(seconds, NULL, 10) : -1);
        }
    }
    return real(fd, data, count);
}
