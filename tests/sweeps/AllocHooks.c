/* See AllocHooks.h. The test programs are single-threaded while armed. */
#include "AllocHooks.h"

#include <errno.h>
#include <execinfo.h>
#include <stddef.h>
#include <string.h>

void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
void* __libc_memalign(size_t alignment, size_t size);

static int g_counting;
static long g_count;
static long g_failAt;
static int g_persistent;
static long g_live;
enum { kFrames = 48 };
static void* g_frames[kFrames];
static int g_frameCount;
static int g_unwinderReady;

void AllocArm(long failAt, int persistent) {
    if (!g_unwinderReady) {
        /* The first backtrace loads the unwinder, which allocates. */
        void* frame;
        backtrace(&frame, 1);
        g_unwinderReady = 1;
    }
    g_frameCount = 0;
    g_count = 0;
    g_failAt = failAt;
    g_persistent = persistent;
    g_counting = 1;
}

long AllocDisarm(void) {
    g_counting = 0;
    g_failAt = 0;
    return g_count;
}

long AllocLiveBlocks(void) { return g_live; }

int AllocFailedAt(void** frames, int max) {
    const int count = g_frameCount < max ? g_frameCount : max;
    memcpy(frames, g_frames, (size_t)count * sizeof(void*));
    return count;
}

/* Counts one allocation; nonzero when it is to fail. */
static int Failing(void) {
    if (!g_counting) return 0;
    ++g_count;
    if (g_failAt > 0 && (g_count == g_failAt || (g_persistent && g_count > g_failAt))) {
        if (g_count == g_failAt) g_frameCount = backtrace(g_frames, kFrames);
        errno = ENOMEM;
        return 1;
    }
    return 0;
}

static void* Counted(void* block) {
    if (block != NULL) ++g_live;
    return block;
}

void* malloc(size_t size) { return Failing() ? NULL : Counted(__libc_malloc(size)); }

void* calloc(size_t count, size_t size) { return Failing() ? NULL : Counted(__libc_calloc(count, size)); }

void free(void* block) {
    if (block == NULL) return;
    --g_live;
    __libc_free(block);
}

void* realloc(void* block, size_t size) {
    if (block == NULL) return malloc(size);
    if (size == 0) { /* frees the block, as the C library's does */
        --g_live;
        return __libc_realloc(block, 0);
    }
    if (Failing()) return NULL; /* the block stays as it was */
    return __libc_realloc(block, size);
}

void* memalign(size_t alignment, size_t size) {
    return Failing() ? NULL : Counted(__libc_memalign(alignment, size));
}

void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }

int posix_memalign(void** out, size_t alignment, size_t size) {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* block = memalign(alignment, size);
    if (block == NULL) return ENOMEM;
    *out = block;
    return 0;
}

void* valloc(size_t size) { return memalign(4096, size); }

void* pvalloc(size_t size) { return memalign(4096, (size + 4095) & ~(size_t)4095); }
