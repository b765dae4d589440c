#!/usr/bin/env python3
"""Converts a customer XML file into device XML through the export
CustToZK8Ext, with ctypes.

    python3 convert.py INPUT OUTPUT WORKDIR [LIBRARY]

LIBRARY defaults to the installed library: libZK8_XML_Conv.so on Linux,
ZK8_XML_Conv.dll on Windows (the 32-bit DLL for a 32-bit Python).
"""
import ctypes
import os
import sys

WINDOWS = sys.platform == "win32"


def load(path=None):
    # The exports are __stdcall on Windows (WinDLL), plain C elsewhere (CDLL).
    if WINDOWS:
        library = ctypes.WinDLL(path or "ZK8_XML_Conv.dll")
    else:
        library = ctypes.CDLL(path or "libZK8_XML_Conv.so")
    for name in ("CustToZK8Ext", "ZK8ToCustExt"):
        function = getattr(library, name)
        function.argtypes = (ctypes.c_char_p, ctypes.c_char_p, ctypes.c_char_p)
        function.restype = ctypes.c_int
    return library


def narrow(path):
    # Paths are narrow strings: the ANSI code page on Windows, the file
    # system's bytes elsewhere.
    return path.encode("mbcs") if WINDOWS else os.fsencode(path)


def main(argv):
    if len(argv) not in (4, 5):
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    library = load(argv[4] if len(argv) == 5 else None)
    result = library.CustToZK8Ext(narrow(argv[1]), narrow(argv[2]), narrow(argv[3]))
    if result != 0:
        sys.exit(f"CustToZK8Ext: {result}")
    # The output is UTF-16 with a byte-order mark; Python reads it as text
    # with open(OUTPUT, encoding="utf-16").


if __name__ == "__main__":
    main(sys.argv)
