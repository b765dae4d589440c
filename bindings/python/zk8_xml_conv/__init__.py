"""ZK8_XML_Conv from Python: customer XML to the device XML of ZK8 scales
and back, through the native library.

    import zk8_xml_conv
    zk8_xml_conv.customer_to_device("catalogue.xml", "device.xml", "C:/Host/Work")
    status = zk8_xml_conv.device_to_customer("reply.xml", "reply_customer.xml", "C:/Host/Work")

Every function raises ConversionError (with .code, .result, .meaning and,
for -98, a .hint read from the input) when the export returns a negative
code. Library() gives the nine exports themselves, returning their integers.
The library is the one beside this module (a wheel carries it there), else
the one ZK8_XML_CONV_LIBRARY names, else the system's.
"""
import os
import pathlib
import threading

from ._library import ENVIRONMENT_VARIABLE, Library
from ._results import ConversionError, Result, describe, hint

__all__ = ["customer_to_device", "device_to_customer", "write_tag_list", "library",
           "Library", "ConversionError", "Result", "describe", "hint", "ENVIRONMENT_VARIABLE"]
__version__ = "2.2.55.1"

_library = None
_loading = threading.Lock()


def library():
    """The library the module's functions call, loaded on first use."""
    global _library
    with _loading:
        if _library is None:
            _library = Library()
        return _library


def _convert(prefix, input, output, working_directory, ini):
    if ini is not None:
        name, paths = prefix + "LibStd", (input, output, working_directory or "", ini)
    elif working_directory is not None:
        name, paths = prefix + "Ext", (input, output, working_directory)
    else:
        name, paths = prefix, (input, output)
    code = getattr(library(), name)(*paths)
    if code < 0:
        raise ConversionError(name, code, [os.fspath(path) for path in paths])


def customer_to_device(input, output, working_directory=None, ini=None):
    """Customer XML to device XML (UTF-16). The run log goes into
    working_directory; without one, into the folder of the host module or
    executable. With ini, the options are read from that file (section
    Advanced), and an empty or missing working directory becomes the
    application-data folder."""
    _convert("CustToZK8", input, output, working_directory, ini)


def device_to_customer(input, output, working_directory=None, ini=None):
    """Device XML to customer XML (UTF-16), with the device's error numbers
    in a status file beside the output, whose path is returned."""
    _convert("ZK8ToCust", input, output, working_directory, ini)
    return pathlib.Path(os.fsdecode(os.fspath(output)) + "_Status.xml")


def write_tag_list(path):
    """The tag dictionary the last conversion used, one line per customer
    name (empty before any conversion)."""
    code = library().CreateTagList(path)
    if code < 0:
        raise ConversionError("CreateTagList", code, [os.fspath(path)])
