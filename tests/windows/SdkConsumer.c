/* An integrator's program, built from the kit alone (its header and one of its
 * import libraries): the DLL is bound at load time, not with LoadLibrary.
 * Usage: sdk_consumer INPUT OUTPUT WORKDIR   converts with CustToZK8Ext */
#include <stdio.h>
#include <windows.h>

#include "zk8_xml_conv.h"

int main(int argc, char** argv) {
    /* Each of the nine imports must be bound to the DLL's export of that name. */
    const FARPROC imports[] = {
        (FARPROC)ZK8ToCust, (FARPROC)ZK8ToCustExt, (FARPROC)ZK8ToCustLibStd,
        (FARPROC)CustToZK8, (FARPROC)CustToZK8WithLengthAttribute, (FARPROC)CustToZK8Ext,
        (FARPROC)CustToZK8ExtWithLengthAttribute, (FARPROC)CustToZK8LibStd, (FARPROC)CreateTagList};
    const char* const names[] = {
        "ZK8ToCust", "ZK8ToCustExt", "ZK8ToCustLibStd", "CustToZK8", "CustToZK8WithLengthAttribute",
        "CustToZK8Ext", "CustToZK8ExtWithLengthAttribute", "CustToZK8LibStd", "CreateTagList"};
    HMODULE dll = GetModuleHandleA("ZK8_XML_Conv.dll");
    int i, result;
    for (i = 0; i < 9; ++i) {
        if (dll == NULL || imports[i] != GetProcAddress(dll, names[i])) {
            printf("%s is not bound to the DLL's export\n", names[i]);
            return 1;
        }
    }
    if (argc != 4) return 2;
    result = CustToZK8Ext(argv[1], argv[2], argv[3]);
    printf("CustToZK8Ext: %d\n", result);
    return result == 0 ? 0 : 1;
}
