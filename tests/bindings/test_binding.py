"""The Python binding against the built library, as a Python host uses it.

    python3 test_binding.py LIBRARY EXAMPLES_FOLDER BINDING_SOURCE VERSION

The calls of tests/bindings/cases.txt, and what only Python has. Each test
works in a temporary folder of its own; ZK8_COMMON_APPDATA (set by the
test) holds Temp.xml.
"""
import os
import pathlib
import re
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

CONVERT = {"to_device": zk8_xml_conv.customer_to_device, "to_customer": zk8_xml_conv.device_to_customer}


def table(kind):
    lines = (pathlib.Path(__file__).parent / "cases.txt").read_text(encoding="utf-8").splitlines()
    rows = [line.split("\t")[1:] for line in lines if line.startswith(kind + "\t")]
    assert rows, f"no {kind} rows"
    return rows


def unescape(text):
    text = re.sub(r"\{\{(\d+)\*(.)\}\}", lambda m: m[2] * int(m[1]), text)
    return re.sub(rb"\\(x..|0)", lambda m: bytes([int(m[1][1:] or b"0", 16)]), text.encode("latin-1"))


def result_text(name):
    return (EXAMPLES / "results" / name).read_bytes().decode("utf-8")


class InFolder(unittest.TestCase):
    def setUp(self):
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="zk8-py-"))
        self.addCleanup(shutil.rmtree, self.folder)
        os.chdir(self.folder)

    def expect_error(self, call, code, message):
        with self.assertRaises(ConversionError) as caught:
            call()
        self.assertEqual((code, message), (caught.exception.code, str(caught.exception)))
        self.assertEqual(Result(code), caught.exception.result)
        return caught.exception


class Calls(InFolder):
    def test_conversions_give_the_shipped_results(self):
        for direction, example, ini, result, status in table("convert"):
            with self.subTest(example=example, ini=ini):
                extra = (pathlib.Path("."),) if ini == "-" else (b".", pathlib.Path(ini))
                returned = CONVERT[direction](EXAMPLES / example, pathlib.Path("out.xml"), *extra)
                self.assertEqual(result_text(result), pathlib.Path("out.xml").read_text(encoding="utf-16"))
                if status != "-":
                    self.assertEqual(pathlib.Path("out.xml_Status.xml"), returned)
                    self.assertEqual(result_text(status), returned.read_text(encoding="utf-16"))

    def test_negative_results_raise_with_code_and_meaning(self):
        for direction, content, ini, message in table("fails"):
            with self.subTest(message=message):
                if content != "-":
                    pathlib.Path("in.xml").write_bytes(unescape(content))
                call = lambda: CONVERT[direction]("in.xml", "out.xml", ".", *([] if ini == "-" else [ini]))
                self.expect_error(call, int(message.split()[2].rstrip(":")), message)
        self.expect_error(lambda: zk8_xml_conv.write_tag_list("no/tags.txt"), -1,
                          "CreateTagList returned -1: the tag list file cannot be opened for writing (no/tags.txt)")

    def test_the_hint_for_minus_98_fits_the_file(self):
        for content, expected in table("hint"):
            with self.subTest(content=content[:60]):
                pathlib.Path("in.xml").write_bytes(unescape(content))
                with self.assertRaises(ConversionError) as caught:
                    zk8_xml_conv.customer_to_device("in.xml", "out.xml", ".")
                self.assertEqual((-98, expected), (caught.exception.code, caught.exception.hint))
        # Without the file, advice that fits every such input; other codes have none.
        any_input = 'save it as UTF-16, or as UTF-8 starting with <?xml version="1.0" encoding="UTF-8"?>'
        self.assertEqual(any_input, zk8_xml_conv.hint(-98))
        self.assertEqual(any_input, zk8_xml_conv.hint(-98, "missing.xml"))
        self.assertIsNone(zk8_xml_conv.hint(-1, "in.xml"))

    def test_tag_list_and_raw_exports(self):
        zk8_xml_conv.customer_to_device(EXAMPLES / "customer_catalogue.xml", "out.xml", ".")
        zk8_xml_conv.write_tag_list(pathlib.Path("tags.txt"))
        lines = pathlib.Path("tags.txt").read_bytes().split(b"\r\n")
        self.assertEqual((899, b"001   acs          account_status", b"571   ptn          plu_text_no"),
                         (len(lines), lines[0], lines[570]))
        library = zk8_xml_conv.library()
        self.assertEqual(-1, library.CustToZK8ExtWithLengthAttribute("missing.xml", "new.xml", "."))
        self.assertEqual(Result.INPUT_NOT_OPENED, library.ZK8ToCustExt(b"missing.xml", "new.xml", "."))
        with self.assertRaisesRegex(TypeError, "CreateTagList takes 1 paths, not 2"):
            library.CreateTagList("a", "b")
        self.assertEqual(Result.NULL_ARGUMENT, library.ZK8ToCustExt(None, "new.xml", "."))
        self.assertEqual(-97, library.CreateTagList(None))
        self.assertFalse(pathlib.Path("new.xml").exists())
        self.assertEqual("unknown result -100", zk8_xml_conv.describe(-100))
        self.assertEqual(VERSION, zk8_xml_conv.__version__)

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
                              "CustToZK8Ext returned -96: out of memory: the call could not be completed (big.xml)")
        finally:
            resource.setrlimit(resource.RLIMIT_AS, saved)
        self.assertFalse(pathlib.Path("big-out.xml").exists())
        zk8_xml_conv.customer_to_device(EXAMPLES / "customer_catalogue.xml", "out.xml", ".")
        self.assertEqual(result_text("customer_catalogue_device.txt"), pathlib.Path("out.xml").read_text("utf-16"))

    def test_a_dll_of_the_other_bitness_is_named(self):
        for machine, bits, _, expected in table("dll"):
            with self.subTest(machine=machine, bits=bits):
                header = bytearray(0x80)
                header[0:2], header[0x3C], header[0x40:0x46] = b"MZ", 0x40, b"PE\0\0" + bytes.fromhex(machine)[::-1]
                pathlib.Path("ZK8_XML_Conv.dll").write_bytes(bytes(header))
                self.assertEqual(None if expected == "-" else expected, bitness_problem("ZK8_XML_Conv.dll", int(bits)))


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


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[5:], verbosity=2)
