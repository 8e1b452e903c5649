// Preloaded into the encoder: a disk that says it wrote what it dropped. Writes to the encoder's
// working file past LYING_DISK_BYTES bytes report success and leave nothing, as a full network
// share or a failing card may, so only reading the file back shows what is missing.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

static int isWorkingFile(int fd) {
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0) return 0;
    path[n] = '\0';
    return strstr(path, ".wmpart-") != NULL;
}

ssize_t write(int fd, const void* data, size_t count) {
    static ssize_t (*real)(int, const void*, size_t);
    // dlsym hands functions as object pointers; POSIX makes the copy well defined.
    if (!real) {
        void* next = dlsym(RTLD_NEXT, "write");
        memcpy(&real, &next, sizeof real);
    }
    const char* limit = getenv("LYING_DISK_BYTES");
    if (limit && fd > 2 && isWorkingFile(fd)) {
        const off_t at = lseek(fd, 0, SEEK_CUR);
        const off_t keep = (off_t)strtoll(limit, NULL, 10);
        if (at >= 0 && at + (off_t)count > keep) {
            const size_t room = at < keep ? (size_t)(keep - at) : 0;
            if (room > 0 && real(fd, data, room) != (ssize_t)room) return -1;
            lseek(fd, at + (off_t)count, SEEK_SET);
            return (ssize_t)count;
        }
    }
    return real(fd, data, count);
}
