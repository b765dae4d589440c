/* A 32-bit host for measuring the largest file the DLL converts: loads
 * ZK8_XML_Conv.dll as the product's host does, converts a large file and then
 * a small one, and prints both results. Built without the large-address flag,
 * so it has the 2 GB of address space of an ordinary 32-bit Windows program.
 *   ceiling-host.exe DLL to-device|to-customer BIG SMALL OUTPUT WORKDIR */
#include <stdio.h>
#include <string.h>
#include <windows.h>

typedef int(__stdcall* Conversion)(const char*, const char*, const char*);

int main(int argc, char** argv) {
    if (argc != 7) {
        fprintf(stderr, "usage: ceiling-host DLL to-device|to-customer BIG SMALL OUTPUT WORKDIR\n");
        return 2;
    }
    HMODULE library = LoadLibraryA(argv[1]);
    if (library == NULL) {
        fprintf(stderr, "cannot load %s\n", argv[1]);
        return 2;
    }
    const char* name = strcmp(argv[2], "to-device") == 0 ? "CustToZK8Ext" : "ZK8ToCustExt";
    Conversion convert = (Conversion)(void*)GetProcAddress(library, name);
    if (convert == NULL) return 2;
    const int large = convert(argv[3], argv[5], argv[6]);
    const int small = convert(argv[4], argv[5], argv[6]);
    printf("%d %d\n", large, small);
    return 0;
}
