/* A host written in C, which loads no C++ runtime of its own: in a thread
 * started after the library was loaded, the first call of that thread finds
 * no memory at all. The library must answer -96 (out of memory), not have
 * the process ended for the memory of its per-thread exception state.
 *
 *   first_exception_host LIBRARY     last line "N passed, N failed"
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

extern void* __libc_malloc(size_t);
extern void* __libc_calloc(size_t, size_t);
extern void* __libc_realloc(void*, size_t);

static __thread int t_noMemory;

void* malloc(size_t size) { return t_noMemory ? NULL : __libc_malloc(size); }
void* calloc(size_t count, size_t size) { return t_noMemory ? NULL : __libc_calloc(count, size); }
void* realloc(void* block, size_t size) { return t_noMemory ? NULL : __libc_realloc(block, size); }

typedef int (*Convert)(const char*, const char*, const char*);

struct Job {
    Convert convert;
    int result;
};

static void* Run(void* data) {
    struct Job* job = data;
    t_noMemory = 1;
    job->result = job->convert("in.xml", "out.xml", ".");
    t_noMemory = 0;
    return NULL;
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    char folder[] = "/tmp/zk8-first-exception-XXXXXX";
    if (mkdtemp(folder) == NULL || chdir(folder) != 0) return 2;
    FILE* input = fopen("in.xml", "wb");
    if (input == NULL) return 2;
    fputs("\xFF\xFE<\0d\0a\0t\0/\0>\0", input);
    fclose(input);
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) return fprintf(stderr, "%s\n", dlerror()), 2;
    struct Job job = {(Convert)dlsym(library, "ZK8ToCustExt"), 0};
    if (job.convert == NULL) return 2;
    pthread_t thread;
    if (pthread_create(&thread, NULL, Run, &job) != 0 || pthread_join(thread, NULL) != 0) return 2;
    const int passed = job.result == -96 && access("out.xml", F_OK) != 0;
    if (!passed) printf("result %d, expected -96 and no output\n", job.result);
    remove("in.xml");
    remove("Runlog.log");
    remove("Interface.ini");
    rmdir(folder);
    printf("%d passed, %d failed\n", passed, !passed);
    return passed ? 0 : 1;
}
