/* The test host's own allocation functions (AllocHooks.c): malloc, calloc,
 * realloc, free and the aligned forms, defined in the test program and
 * forwarded to the C library's. The library under test is loaded with
 * dlopen, so its allocations, pugixml's, libstdc++'s operator new and the C
 * library's own (fopen's FILE, for one) all come here.
 *
 * Between AllocArm and AllocDisarm every allocation is counted from 1; the
 * armed one fails with ENOMEM (and, when persistent, every one after it). */
#ifndef ZK8_SWEEPS_ALLOC_HOOKS_H
#define ZK8_SWEEPS_ALLOC_HOOKS_H

#ifdef __cplusplus
extern "C" {
#endif

/* Starts counting; failAt 0 fails nothing. */
void AllocArm(long failAt, int persistent);
/* Stops counting; the number of allocations since AllocArm. */
long AllocDisarm(void);
/* Blocks allocated and not yet freed, over the whole process. */
long AllocLiveBlocks(void);
/* The return addresses of the last failed allocation (at most `max`, the
 * allocation functions' own first); their number. AllocArm forgets them. */
int AllocFailedAt(void** frames, int max);

#ifdef __cplusplus
}
#endif

#endif
