#!/usr/bin/env python3
"""Converts a customer XML file into device XML, and a device reply back,
with the zk8_xml_conv module.

    python3 convert.py CATALOGUE DEVICE_OUTPUT WORKDIR [REPLY CUSTOMER_OUTPUT]
"""
import sys

import zk8_xml_conv


def main(argv):
    if len(argv) not in (4, 6):
        sys.exit(__doc__)
    try:
        zk8_xml_conv.customer_to_device(argv[1], argv[2], argv[3])
        if len(argv) == 6:
            status = zk8_xml_conv.device_to_customer(argv[4], argv[5], argv[3])
            print(f"the device's error numbers are in {status}")
    except zk8_xml_conv.ConversionError as error:
        # e.g. "CustToZK8Ext returned -1: the input file cannot be opened (in.xml)"
        sys.exit(str(error))


if __name__ == "__main__":
    main(sys.argv)
