/* A host written in C, as many hosts are: libstdc++ comes into the process
 * only with the library, through dlopen. It owns malloc (AllocHooks.c).
 *
 *   FreshHost LIBRARY EXPORT INPUT OUTPUT WORKDIR EXPECTED_OUTPUT EXPECTED_STATUS|-
 *
 * After one call without failures (it must return 0), for N = 1, 2, ...: a
 * child process of this host fails every allocation from its N-th on, in
 * one call, then lets allocations succeed again and makes the same call.
 * The failing call must return -96 with neither output nor status file, or
 * 0 with the right bytes; the call after it 0 with the right bytes; the
 * child must not die. The sweep ends at the first N the call does not
 * reach. Lines on standard output, tab-separated: "N n" for every N run,
 * "F n kind detail" for what was found there, "W result" when the call
 * without failures went wrong. */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "AllocHooks.h"

typedef int (*Export3)(const char*, const char*, const char*);

static const char* g_args[3];
static Export3 g_export;
static char g_status[4096];

static int Call(void) { return g_export(g_args[0], g_args[1], g_args[2]); }

/* The whole file, or NULL when it cannot be read; its size in *size. */
static char* ReadAll(const char* path, long* size) {
    FILE* file = fopen(path, "rb");
    if (file == NULL) return NULL;
    fseek(file, 0, SEEK_END);
    *size = ftell(file);
    fseek(file, 0, SEEK_SET);
    char* bytes = malloc(*size > 0 ? (size_t)*size : 1);
    if (bytes != NULL && fread(bytes, 1, (size_t)*size, file) != (size_t)*size) {
        free(bytes);
        bytes = NULL;
    }
    fclose(file);
    return bytes;
}

/* Prints a finding when the file is not the expected one's bytes. */
static void Compare(long n, const char* call, const char* path, const char* expectedPath) {
    long size = 0, expectedSize = 0;
    char* bytes = ReadAll(path, &size);
    char* expected = ReadAll(expectedPath, &expectedSize);
    if (bytes == NULL) {
        printf("F\t%ld\t%s: %s is absent\t\n", n, call, strrchr(path, '/') + 1);
    } else if (expected != NULL && (size != expectedSize || memcmp(bytes, expected, (size_t)size) != 0)) {
        long at = 0;
        while (at < size && at < expectedSize && bytes[at] == expected[at]) ++at;
        printf("F\t%ld\t%s: %s is not right\t%ld bytes (right: %ld), first difference at byte %ld\n", n, call,
               strrchr(path, '/') + 1, size, expectedSize, at);
    }
    free(bytes);
    free(expected);
}

static void CheckExact(long n, const char* call, const char* expectedOutput, const char* expectedStatus) {
    Compare(n, call, g_args[1], expectedOutput);
    if (expectedStatus != NULL) Compare(n, call, g_status, expectedStatus);
}

static void RemoveOutputs(void) {
    remove(g_args[1]);
    remove(g_status);
}

int main(int argc, char** argv) {
    if (argc != 8) {
        fprintf(stderr, "usage: FreshHost LIBRARY EXPORT INPUT OUTPUT WORKDIR EXPECTED_OUTPUT EXPECTED_STATUS|-\n");
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    g_export = library == NULL ? NULL : (Export3)dlsym(library, argv[2]);
    if (g_export == NULL) {
        printf("W\tthe library or its export %s cannot be loaded\n", argv[2]);
        return 0;
    }
    g_args[0] = argv[3];
    g_args[1] = argv[4];
    g_args[2] = argv[5];
    snprintf(g_status, sizeof g_status, "%s_Status.xml", argv[4]);
    const char* expectedOutput = argv[6];
    const char* expectedStatus = strcmp(argv[7], "-") == 0 ? NULL : argv[7];

    RemoveOutputs();
    const int first = Call();
    if (first != 0) {
        printf("W\tresult %d\n", first);
        return 0;
    }
    fflush(stdout);

    for (long n = 1;; ++n) {
        RemoveOutputs();
        fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            AllocArm(n, 1);
            const int result = Call();
            const long made = AllocDisarm();
            if (made < n) _exit(100);
            printf("N\t%ld\n", n);
            if (result == -96) {
                long size;
                char* left = ReadAll(g_args[1], &size);
                if (left != NULL) printf("F\t%ld\tresult -96, but the output is there\t%ld bytes\n", n, size);
                free(left);
                left = expectedStatus != NULL ? ReadAll(g_status, &size) : NULL;
                if (left != NULL) printf("F\t%ld\tresult -96, but the status file is there\t%ld bytes\n", n, size);
                free(left);
            } else if (result == 0) {
                CheckExact(n, "result 0", expectedOutput, expectedStatus);
            } else {
                printf("F\t%ld\tresult %d, expected -96 or 0\t\n", n, result);
            }
            RemoveOutputs();
            const int again = Call();
            if (again != 0) printf("F\t%ld\tthe same call again: result %d\t\n", n, again);
            CheckExact(n, "the same call again", expectedOutput, expectedStatus);
            fflush(stdout);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 100) break;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            /* The child may have died before it reported its N. */
            printf("N\t%ld\nF\t%ld\tthe host process ended during the call\t", n, n);
            if (WIFSIGNALED(status)) {
                printf("signal %d (%s)\n", WTERMSIG(status), strsignal(WTERMSIG(status)));
            } else {
                printf("exit status %d\n", WEXITSTATUS(status));
            }
        }
    }
    return 0;
}
