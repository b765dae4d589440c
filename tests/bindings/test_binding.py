"""The Python binding against the built library, as a Python host uses it.

    python3 test_binding.py LIBRARY EXAMPLES_FOLDER BINDING_SOURCE VERSION

Each case works in a temporary folder of its own; ZK8_COMMON_APPDATA (set
by the test) holds Temp.xml.
"""
import os
import pathlib
import resource
import shutil
import subprocess
import sys
import tempfile
import unittest

LIBRARY, EXAMPLES, SOURCE = (pathlib.Path(argument).resolve() for argument in sys.argv[1:4])
VERSION = sys.argv[4]
os.environ["ZK8_XML_CONV_LIBRARY"] = str(LIBRARY)
sys.path.insert(0, str(SOURCE))
import zk8_xml_conv  # noqa: E402
from zk8_xml_conv import ConversionError, Result  # noqa: E402
from zk8_xml_conv._library import bitness_problem  # noqa: E402


def result_text(name):
    return (EXAMPLES / "results" / name).read_bytes().decode("utf-8")


class InFolder(unittest.TestCase):
    def setUp(self):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="zk8-py-"))
        self.addCleanup(shutil.rmtree, self.folder)
        os.chdir(self.folder)

    def expect_output(self, output, result):
        self.assertEqual(result_text(result), pathlib.Path(output).read_text(encoding="utf-16"))


class Conversions(InFolder):
    def test_both_directions_give_the_bytes_of_the_c_host(self):
        cases = [  # function, input, extra arguments, expected output, expected status
            (zk8_xml_conv.customer_to_device, "customer_catalogue.xml", (pathlib.Path("."),),
             "customer_catalogue_device.txt", None),
            (zk8_xml_conv.customer_to_device, "customer_catalogue.xml", (".", "none.ini"),
             "customer_catalogue_device.txt", None),
            (zk8_xml_conv.device_to_customer, "device_label_transfer.xml", (b".",),
             "device_label_transfer_customer.txt", "device_label_transfer_customer_status.txt"),
            (zk8_xml_conv.device_to_customer, "device_reply.xml", (".", pathlib.Path("none.ini")),
             "device_reply_customer.txt", "device_reply_customer_status.txt"),
        ]
        for function, source, extra, expected, status in cases:
            with self.subTest(source=source, extra=extra):
                returned = function(EXAMPLES / source, pathlib.Path("out.xml"), *extra)
                self.expect_output("out.xml", expected)
                if status:
                    self.assertEqual(pathlib.Path("out.xml_Status.xml"), returned)
                    self.assertEqual(result_text(status), returned.read_text(encoding="utf-16"))

    def test_tag_list_after_a_conversion(self):
        zk8_xml_conv.customer_to_device(EXAMPLES / "customer_catalogue.xml", "out.xml", ".")
        zk8_xml_conv.write_tag_list(pathlib.Path("tags.txt"))
        lines = pathlib.Path("tags.txt").read_bytes().split(b"\r\n")
        self.assertEqual(899, len(lines))
        self.assertEqual(b"001   acs          account_status", lines[0])
        self.assertEqual(b"571   ptn          plu_text_no", lines[570])

    def test_raw_exports_return_the_integer(self):
        library = zk8_xml_conv.library()
        self.assertEqual(-1, library.CustToZK8ExtWithLengthAttribute("missing.xml", "out.xml", "."))
        self.assertEqual(Result.INPUT_NOT_OPENED, library.ZK8ToCustExt(b"missing.xml", "out.xml", "."))
        with self.assertRaisesRegex(TypeError, "CreateTagList takes 1 paths, not 2"):
            library.CreateTagList("a", "b")
        self.assertEqual(Result.NULL_ARGUMENT, library.ZK8ToCustExt(None, "out.xml", "."))
        self.assertEqual(-97, library.CreateTagList(None))
        self.assertFalse(pathlib.Path("out.xml").exists())
        self.assertEqual("unknown result -100", zk8_xml_conv.describe(-100))
        self.assertEqual(VERSION, zk8_xml_conv.__version__)


class Failures(InFolder):
    def expect_error(self, call, code, message):
        with self.assertRaises(ConversionError) as caught:
            call()
        self.assertEqual((code, message), (caught.exception.code, str(caught.exception)))
        self.assertEqual(Result(code), caught.exception.result)

    def test_negative_results_raise_with_code_and_meaning(self):
        pathlib.Path("latin.xml").write_bytes(b"\xEF\xBB<dat/>")
        pathlib.Path("unquoted.xml").write_bytes(b'<?xml version="1.0" encoding=utf-8?><dat/>')
        pathlib.Path("plain.xml").write_bytes(b"<scaledata/>")
        cases = [
            (lambda: zk8_xml_conv.customer_to_device("missing.xml", "out.xml", "."), -1,
             "CustToZK8Ext returned -1: the input file cannot be opened (missing.xml)"),
            (lambda: zk8_xml_conv.device_to_customer(pathlib.Path("latin.xml"), "out.xml", "."), -98,
             "ZK8ToCustExt returned -98: the input is neither marked nor declared as UTF-8 or UTF-16 "
             '(latin.xml); it is not UTF-8; save it as UTF-16, or as UTF-8 starting with <?xml version="1.0" '
             'encoding="UTF-8"?>'),
            (lambda: zk8_xml_conv.customer_to_device("plain.xml", "out.xml", "."), -98,
             "CustToZK8Ext returned -98: the input is neither marked nor declared as UTF-8 or UTF-16 "
             '(plain.xml); it is UTF-8 without an XML declaration; add <?xml version="1.0" encoding="UTF-8"?> '
             "at its start"),
            (lambda: zk8_xml_conv.device_to_customer("unquoted.xml", "out.xml", ".", "none.ini"), -93,
             "ZK8ToCustLibStd returned -93: the XML declaration names UTF-8 or UTF-16 without quotes "
             "(unquoted.xml)"),
            (lambda: zk8_xml_conv.write_tag_list("no/tags.txt"), -1,
             "CreateTagList returned -1: the tag list file cannot be opened for writing (no/tags.txt)"),
        ]
        for call, code, message in cases:
            with self.subTest(message=message):
                self.expect_error(call, code, message)

    def test_the_hint_for_minus_98_fits_the_file(self):
        not_utf8 = 'it is not UTF-8; save it as UTF-16, or as UTF-8 starting with <?xml version="1.0" encoding="UTF-8"?>'
        no_declaration = 'it is UTF-8 without an XML declaration; add <?xml version="1.0" encoding="UTF-8"?> at its start'
        not_first = "its XML declaration does not come first; remove what stands before it"
        no_mark = "it looks like UTF-16 without a byte-order mark; save it with the mark"
        cases = [  # the input's bytes, the hint zk8conv gives as well
            (b"<scaledata/>", no_declaration),
            (b"<dat>\xC3\xA4\xF0\x9F\x98\x80</dat>", no_declaration),
            (b'<?xml-stylesheet href="a.xsl"?><dat/>', no_declaration),
            (b"<?xml version='1.0'?><dat/>", 'its XML declaration names no encoding; add encoding="UTF-8" to it'),
            (b"<?xml version='1.0' encoding='ISO-8859-1'?><dat/>",
             "its declaration names ISO-8859-1; save it as UTF-8 or UTF-16 and name that in the declaration"),
            (b'<?xml version="1.0" encoding = "windows-1252" ?><dat>\xE4</dat>',
             "its declaration names windows-1252; save it as UTF-8 or UTF-16 and name that in the declaration"),
            (b" " * 1020 + b"<?xml version='1.0' encoding='utf-8'?><dat/>", not_first),
            (b"\0<?xml encoding='utf-8'?><dat/>", not_first),
            ("<dat/>".encode("utf-16-le"), no_mark),
            ("<dat/>".encode("utf-16-be"), no_mark),
            (b"<dat>\xE4</dat>", not_utf8),
            (b'<?xml version="1.0"?><dat>\xE4</dat>', not_utf8),
            (b"<dat>\xED\xA0\x80</dat>", not_utf8),
            (b"<dat>\xC0\xAF</dat>", not_utf8),
            (b"<dat/>\xC3", not_utf8),
            (b"a" * 70000 + b"\xE4", not_utf8),
        ]
        for content, expected in cases:
            with self.subTest(content=content[:60]):
                pathlib.Path("in.xml").write_bytes(content)
                with self.assertRaises(ConversionError) as caught:
                    zk8_xml_conv.customer_to_device("in.xml", "out.xml", ".")
                self.assertEqual((-98, expected), (caught.exception.code, caught.exception.hint))
        # Without the file, advice that fits every such input; other codes have none.
        self.assertEqual('save it as UTF-16, or as UTF-8 starting with <?xml version="1.0" encoding="UTF-8"?>',
                         zk8_xml_conv.hint(-98))
        self.assertEqual('save it as UTF-16, or as UTF-8 starting with <?xml version="1.0" encoding="UTF-8"?>',
                         zk8_xml_conv.hint(-98, "missing.xml"))
        self.assertIsNone(zk8_xml_conv.hint(-1, "in.xml"))

    def test_out_of_memory_then_the_next_call_works(self):
        record = b'<article mode="write"><plu_no>1</plu_no><name>Apple</name></article>'
        pathlib.Path("big.xml").write_bytes(b'<?xml version="1.0" encoding="UTF-8"?><scaledata><articles>'
                                            + record * 400000 + b"</articles></scaledata>")
        zk8_xml_conv.customer_to_device(EXAMPLES / "customer_catalogue.xml", "warm.xml", ".")
        status = pathlib.Path("/proc/self/status").read_text().splitlines()
        in_use = next(int(line.split()[1]) << 10 for line in status if line.startswith("VmSize:"))
        saved = resource.getrlimit(resource.RLIMIT_AS)
        resource.setrlimit(resource.RLIMIT_AS, (in_use + (48 << 20), saved[1]))
        try:
            self.expect_error(lambda: zk8_xml_conv.customer_to_device("big.xml", "big-out.xml", "."), -96,
                              "CustToZK8Ext returned -96: out of memory: the call could not be completed "
                              "(big.xml)")
        finally:
            resource.setrlimit(resource.RLIMIT_AS, saved)
        self.assertFalse(pathlib.Path("big-out.xml").exists())
        zk8_xml_conv.customer_to_device(EXAMPLES / "customer_catalogue.xml", "out.xml", ".")
        self.expect_output("out.xml", "customer_catalogue_device.txt")


class Loading(InFolder):
    def loaded_path(self, source, **environment):
        """Where a fresh interpreter with the module at source finds the library."""
        env = {key: value for key, value in os.environ.items()
               if key not in ("ZK8_XML_CONV_LIBRARY", "LD_LIBRARY_PATH")}
        env.update(environment, PYTHONPATH=str(source))
        run = subprocess.run([sys.executable, "-c", "import zk8_xml_conv; print(zk8_xml_conv.library().path)"],
                             env=env, capture_output=True, text=True)
        return run.stdout.strip() or run.stderr.strip().splitlines()[-1]

    def test_the_library_is_found_in_order(self):
        beside = self.folder / "beside"
        shutil.copytree(SOURCE / "zk8_xml_conv", beside / "zk8_xml_conv")
        shutil.copy(LIBRARY, beside / "zk8_xml_conv" / "libZK8_XML_Conv.so")
        carried = str(beside / "zk8_xml_conv" / "libZK8_XML_Conv.so")
        cases = [
            (SOURCE, {"ZK8_XML_CONV_LIBRARY": str(LIBRARY)}, str(LIBRARY)),
            (beside, {}, carried),
            # The library beside the module comes before any other.
            (beside, {"ZK8_XML_CONV_LIBRARY": str(LIBRARY), "LD_LIBRARY_PATH": str(LIBRARY.parent)}, carried),
            (SOURCE, {"LD_LIBRARY_PATH": str(LIBRARY.parent)}, "libZK8_XML_Conv.so.2"),
            (SOURCE, {"ZK8_XML_CONV_LIBRARY": "/no/such.so"},
             "OSError: libZK8_XML_Conv.so not found (/no/such.so: cannot open shared object file: No such "
             "file or directory): install it, put it beside the zk8_xml_conv module, or set "
             "ZK8_XML_CONV_LIBRARY to its path"),
        ]
        for source, environment, expected in cases:
            with self.subTest(environment=environment):
                self.assertEqual(expected, self.loaded_path(source, **environment))

    def test_pip_installs_it_from_the_source_tree(self):
        shutil.copytree(SOURCE, self.folder / "source")
        subprocess.run([sys.executable, "-m", "pip", "install", "--quiet", "--disable-pip-version-check",
                        "--no-build-isolation", "--no-index", "--no-deps", "--target", "site", "./source"],
                       check=True, env=dict(os.environ, PIP_ROOT_USER_ACTION="ignore"))
        self.assertEqual(str(LIBRARY), self.loaded_path(self.folder / "site", ZK8_XML_CONV_LIBRARY=str(LIBRARY)))

    def test_a_dll_of_the_other_bitness_is_named(self):
        def dll(machine):
            header = bytearray(0x80)
            header[0:2], header[0x3C], header[0x40:0x46] = b"MZ", 0x40, b"PE\0\0" + machine.to_bytes(2, "little")
            pathlib.Path("ZK8_XML_Conv.dll").write_bytes(bytes(header))
            return "ZK8_XML_Conv.dll"
        cases = [
            (0x014C, 64, "ZK8_XML_Conv.dll is the 32-bit ZK8_XML_Conv.dll and this Python is 64-bit: "
                         "use the 64-bit DLL, or a 32-bit Python"),
            (0x8664, 32, "ZK8_XML_Conv.dll is the 64-bit ZK8_XML_Conv.dll and this Python is 32-bit: "
                         "use the 32-bit DLL, or a 64-bit Python"),
            (0x014C, 32, None),
            (0x8664, 64, None),
            (0xAA64, 64, None),
        ]
        for machine, bits, expected in cases:
            with self.subTest(machine=hex(machine), bits=bits):
                self.assertEqual(expected, bitness_problem(dll(machine), bits))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[5:], verbosity=2)
