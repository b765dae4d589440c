"""Finding and loading the native library, and calling its exports."""
import ctypes
import ctypes.util
import os
import struct
import sys

WINDOWS = sys.platform == "win32"
FILE_NAME = "ZK8_XML_Conv.dll" if WINDOWS else "libZK8_XML_Conv.so"
ENVIRONMENT_VARIABLE = "ZK8_XML_CONV_LIBRARY"

# Each export and how many paths it takes.
EXPORTS = {
    "ZK8ToCust": 2,
    "ZK8ToCustExt": 3,
    "ZK8ToCustLibStd": 4,
    "CustToZK8": 2,
    "CustToZK8WithLengthAttribute": 2,
    "CustToZK8Ext": 3,
    "CustToZK8ExtWithLengthAttribute": 3,
    "CustToZK8LibStd": 4,
    "CreateTagList": 1,
}

# The machine field of a Windows DLL's header, by the bitness it runs in.
PE_MACHINES = {0x014C: 32, 0x8664: 64}


def process_bits():
    return struct.calcsize("P") * 8


def dll_bits(path):
    """32 or 64 for a Windows DLL of x86 or x64, None for any other file."""
    try:
        with open(path, "rb") as dll:
            header = dll.read(0x40)
            if len(header) < 0x40 or header[:2] != b"MZ":
                return None
            dll.seek(struct.unpack_from("<I", header, 0x3C)[0])
            signature = dll.read(6)
    except OSError:
        return None
    if len(signature) < 6 or signature[:4] != b"PE\0\0":
        return None
    return PE_MACHINES.get(struct.unpack_from("<H", signature, 4)[0])


def bitness_problem(path, bits):
    """Why a process of `bits` bits cannot load the DLL at path, or None."""
    found = dll_bits(path)
    if found is None or found == bits:
        return None
    return (f"{path} is the {found}-bit ZK8_XML_Conv.dll and this Python is {bits}-bit: "
            f"use the {bits}-bit DLL, or a {found}-bit Python")


def candidates():
    """Where the library is looked for: beside this module, where a wheel
    carries it, and then nowhere else; without one there, the path in the
    environment variable alone; without that, the system's own search (the
    name alone)."""
    beside = os.path.join(os.path.dirname(os.path.abspath(__file__)), FILE_NAME)
    if os.path.exists(beside):
        return [beside]
    configured = os.environ.get(ENVIRONMENT_VARIABLE)
    if configured:
        return [configured]
    if WINDOWS:
        return [FILE_NAME]
    return ["libZK8_XML_Conv.so.2", FILE_NAME, ctypes.util.find_library("ZK8_XML_Conv")]


def encode_path(path):
    """A path as the narrow string the exports take: the ANSI code page on
    Windows (a character it cannot hold is refused, not replaced), the file
    system's bytes elsewhere. None stays None: the export gets a null pointer
    and answers -97."""
    if path is None:
        return None
    path = os.fspath(path)
    if isinstance(path, bytes):
        return path
    if WINDOWS:
        try:
            return path.encode("mbcs", "strict")
        except UnicodeEncodeError as error:
            raise ValueError(f"{path!r} cannot be written in the ANSI code page") from error
    return os.fsencode(path)


class Library:
    """The loaded library. Each export is a method of the same name taking
    str, bytes or os.PathLike paths and returning the export's integer."""

    def __init__(self, path=None):
        tried = [path] if path else [c for c in candidates() if c]
        errors = []
        for candidate in tried:
            problem = WINDOWS and os.path.isfile(candidate) and bitness_problem(candidate, process_bits())
            if problem:
                raise OSError(problem)
            try:
                self._dll = (ctypes.WinDLL if WINDOWS else ctypes.CDLL)(candidate)
            except OSError as error:
                if getattr(error, "winerror", None) == 193:  # ERROR_BAD_EXE_FORMAT
                    raise OSError(f"{candidate} is not a {process_bits()}-bit ZK8_XML_Conv.dll: "
                                  f"a {process_bits()}-bit Python needs the {process_bits()}-bit DLL") from error
                errors.append(str(error))
                continue
            self.path = candidate
            break
        else:
            raise OSError(f"{FILE_NAME} not found ({'; '.join(errors)}): install it, put it beside "
                          f"the zk8_xml_conv module, or set {ENVIRONMENT_VARIABLE} to its path")
        for name, count in EXPORTS.items():
            function = getattr(self._dll, name)
            function.argtypes = (ctypes.c_char_p,) * count
            function.restype = ctypes.c_int

    def __getattr__(self, name):
        if name not in EXPORTS:
            raise AttributeError(name)
        function = getattr(self._dll, name)

        def call(*paths):
            if len(paths) != EXPORTS[name]:
                raise TypeError(f"{name} takes {EXPORTS[name]} paths, not {len(paths)}")
            return function(*(encode_path(path) for path in paths))

        call.__name__ = name
        return call
