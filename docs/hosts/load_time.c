/* Load-time linking: the program is linked against the library, and the
 * system loads it when the program starts. Converts a customer XML file into
 * device XML.
 *
 *   load_time INPUT OUTPUT WORKDIR
 */
#include <stdio.h>

#include <zk8_xml_conv.h>

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s INPUT OUTPUT WORKDIR\n", argv[0]);
        return 2;
    }
    int result = CustToZK8Ext(argv[1], argv[2], argv[3]);
    if (result != 0) {
        fprintf(stderr, "CustToZK8Ext: %d\n", result);
        return 1;
    }
    return 0;
}
