/* Run-time linking, as the scales' host program does it: the library is
 * loaded by name and the export looked up by name. Needs no header and no
 * import library, only the signature and, on Windows, the calling
 * convention (__stdcall; the exports carry no decoration).
 *
 *   run_time INPUT OUTPUT WORKDIR [LIBRARY]
 */
#include <stdio.h>

#ifdef _WIN32
#include <windows.h>
typedef int(__stdcall* CustToZK8ExtFunction)(const char*, const char*, const char*);
static const char* const kLibrary = "ZK8_XML_Conv.dll";
#else
#include <dlfcn.h>
typedef int (*CustToZK8ExtFunction)(const char*, const char*, const char*);
static const char* const kLibrary = "libZK8_XML_Conv.so";
#endif

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        fprintf(stderr, "usage: %s INPUT OUTPUT WORKDIR [LIBRARY]\n", argv[0]);
        return 2;
    }
    const char* name = argc == 5 ? argv[4] : kLibrary;
#ifdef _WIN32
    HMODULE library = LoadLibraryA(name);
    CustToZK8ExtFunction convert =
        library ? (CustToZK8ExtFunction)(void*)GetProcAddress(library, "CustToZK8Ext") : NULL;
#else
    void* library = dlopen(name, RTLD_NOW);
    CustToZK8ExtFunction convert =
        library ? (CustToZK8ExtFunction)dlsym(library, "CustToZK8Ext") : NULL;
#endif
    if (convert == NULL) {
        fprintf(stderr, "cannot load CustToZK8Ext from %s\n", name);
        return 1;
    }
    int result = convert(argv[1], argv[2], argv[3]);
#ifdef _WIN32
    FreeLibrary(library);
#else
    dlclose(library);
#endif
    if (result != 0) {
        fprintf(stderr, "CustToZK8Ext: %d\n", result);
        return 1;
    }
    return 0;
}
