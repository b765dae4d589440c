/* The test program's own malloc, for the sweep step of the case runner:
 * while armed, it counts the allocations of the C library, libstdc++ and
 * pugixml as well as the library's (all of them call malloc, which the
 * program provides), fails the N-th, and keeps allocations less frees.
 * Not in sanitizer builds, whose runtime owns malloc. */
#include <errno.h>
#include <stddef.h>

extern void* __libc_malloc(size_t);
extern void* __libc_calloc(size_t, size_t);
extern void* __libc_realloc(void*, size_t);
extern void __libc_free(void*);

static int g_armed;
static long g_count, g_failAt, g_net;

/* Whether the allocation now asked for fails (as malloc fails: ENOMEM);
 * counts it. */
static int Fails(void) {
    if (!g_armed || ++g_count != g_failAt) return 0;
    errno = ENOMEM;
    return 1;
}

void* malloc(size_t size) {
    if (Fails()) return NULL;
    void* block = __libc_malloc(size);
    if (block != NULL && g_armed) ++g_net;
    return block;
}

void* calloc(size_t count, size_t size) {
    if (Fails()) return NULL;
    void* block = __libc_calloc(count, size);
    if (block != NULL && g_armed) ++g_net;
    return block;
}

void* realloc(void* block, size_t size) {
    if (block == NULL) return malloc(size);
    if (Fails()) return NULL;
    return __libc_realloc(block, size);
}

void free(void* block) {
    if (block != NULL && g_armed) --g_net;
    __libc_free(block);
}

/* failAt 0: count only. */
void zk8_hooks_arm(long failAt) {
    g_count = 0;
    g_net = 0;
    g_failAt = failAt;
    g_armed = 1;
}

/* The allocations counted; *net: those still held. */
long zk8_hooks_disarm(long* net) {
    g_armed = 0;
    *net = g_net;
    return g_count;
}
