// The C# binding against the built library, as a .NET host uses it: the
// calls of tests/bindings/cases.txt, and what only C# has.
//   mono BindingTest.exe EXAMPLES_FOLDER CASES_FILE
// Each case runs in a folder of its own under the system's temporary folder;
// ZK8_COMMON_APPDATA (set by the test) holds Temp.xml.
using System;
using System.IO;
using System.Linq;
using System.Runtime.InteropServices;
using System.Text;
using System.Text.RegularExpressions;
using Zk8.XmlConv;

static class BindingTest
{
    static string s_examples;
    static string[][] s_table;
    static int s_failures, s_passed;

    static void ExpectEqual(object expected, object actual, string what)
    {
        if (!Equals(expected, actual))
            throw new Exception(string.Format("{0}:\n  expected {1}\n  actual   {2}", what, expected, actual));
    }

    // A UTF-16 output read as UTF-8 bytes must equal the shipped result.
    static void ExpectResult(string output, string result)
    {
        string expected = Encoding.UTF8.GetString(File.ReadAllBytes(Path.Combine(s_examples, "results", result)));
        ExpectEqual(expected, File.ReadAllText(output, Encoding.Unicode), output);
    }

    static ConversionException Throws(Action call)
    {
        try { call(); }
        catch (ConversionException error) { return error; }
        throw new Exception("no ConversionException");
    }

    // The rows of one kind, without the kind.
    static string[][] Rows(string kind)
    {
        var rows = s_table.Where(row => row[0] == kind).Select(row => row.Skip(1).ToArray()).ToArray();
        if (rows.Length == 0)
            throw new Exception("no " + kind + " rows");
        return rows;
    }

    // \xHH, \0 and {{N*c}}, one character per byte.
    static byte[] Unescape(string text)
    {
        text = Regex.Replace(text, @"\{\{(\d+)\*(.)\}\}", m => new string(m.Groups[2].Value[0], int.Parse(m.Groups[1].Value)));
        text = Regex.Replace(text, @"\\(x..|0)", m => m.Value == "\\0" ? "\0" : ((char)Convert.ToInt32(m.Value.Substring(2), 16)).ToString());
        return Encoding.GetEncoding(28591).GetBytes(text);
    }

    // The status file's path, to customer.
    static string Call(string direction, string input, string output, string ini)
    {
        if (direction == "to_device" && ini == "-") Converter.CustomerToDevice(input, output, ".");
        else if (direction == "to_device") Converter.CustomerToDevice(input, output, ".", ini);
        else return ini == "-" ? Converter.DeviceToCustomer(input, output, ".") : Converter.DeviceToCustomer(input, output, ".", ini);
        return null;
    }

    static void Run(string name, Action body)
    {
        string folder = Path.Combine(Path.GetTempPath(), "zk8-cs-" + Guid.NewGuid().ToString("N"));
        Directory.CreateDirectory(folder);
        Environment.CurrentDirectory = folder;
        try { body(); s_passed++; }
        catch (Exception error) { s_failures++; Console.WriteLine("FAIL " + name + ": " + error); }
        finally { Directory.Delete(folder, true); }
    }

    [StructLayout(LayoutKind.Sequential)]
    struct RLimit { public ulong Current, Maximum; }
    [DllImport("libc")] static extern int getrlimit(int resource, out RLimit limit);
    [DllImport("libc")] static extern int setrlimit(int resource, ref RLimit limit);

    // Runs call with the address space in use now plus megabytes more.
    static void WithAddressSpace(int megabytes, Action call)
    {
        const int AddressSpace = 9;  // RLIMIT_AS
        string size = File.ReadAllLines("/proc/self/status").First(line => line.StartsWith("VmSize:"));
        RLimit saved, capped;
        getrlimit(AddressSpace, out saved);
        capped = saved;
        capped.Current = (ulong.Parse(size.Substring(7).Trim().Split(' ')[0]) << 10) + ((ulong)megabytes << 20);
        setrlimit(AddressSpace, ref capped);
        try { call(); }
        finally { setrlimit(AddressSpace, ref saved); }
    }

    static int Main(string[] args)
    {
        s_examples = Path.GetFullPath(args[0]);
        s_table = File.ReadAllLines(args[1]).Where(line => line != "" && line[0] != '#').Select(line => line.Split('\t')).ToArray();

        foreach (var row in Rows("convert"))
            Run("convert " + string.Join(" ", row), () => {
                string status = Call(row[0], Path.Combine(s_examples, row[1]), "out.xml", row[2]);
                ExpectResult("out.xml", row[3]);
                ExpectEqual(row[4] == "-" ? null : "out.xml_Status.xml", status, "the status file");
                if (status != null)
                    ExpectResult(status, row[4]);
                ExpectEqual(row[0] == "to_device", File.Exists("Runlog.log"), "a run log in the working directory");
            });
        foreach (var row in Rows("fails"))
            Run("fails " + row[3], () => {
                if (row[1] != "-")
                    File.WriteAllBytes("in.xml", Unescape(row[1]));
                ConversionException error = Throws(() => Call(row[0], "in.xml", "out.xml", row[2]));
                ExpectEqual(row[3], error.Message, "message");
                ExpectEqual(row[3].Split(' ')[2].TrimEnd(':'), error.Code.ToString(), "code");
            });
        foreach (var row in Rows("hint"))
            Run("-98 hint for " + row[0], () => {
                File.WriteAllBytes("in.xml", Unescape(row[0]));
                ConversionException error = Throws(() => Converter.CustomerToDevice("in.xml", "out.xml", "."));
                ExpectEqual(ResultCode.UnknownEncoding, error.Result, "code");
                ExpectEqual(row[1], error.Hint, "hint");
            });
        foreach (var row in Rows("dll"))
            Run("DLL for machine " + row[0] + " in a " + row[1] + "-bit process", () => {
                var header = new byte[0x80];
                header[0] = (byte)'M'; header[1] = (byte)'Z'; header[0x3C] = 0x40;
                Encoding.ASCII.GetBytes("PE\0\0").CopyTo(header, 0x40);
                BitConverter.GetBytes(Convert.ToUInt16(row[0], 16)).CopyTo(header, 0x44);
                File.WriteAllBytes("ZK8_XML_Conv.dll", header);
                ExpectEqual(row[2] == "-" ? null : row[2], LibraryLoader.BitnessProblem("ZK8_XML_Conv.dll", int.Parse(row[1])), "problem");
            });

        Run("a file that is no DLL", () => {
            File.WriteAllText("ZK8_XML_Conv.dll", "MZ");
            ExpectEqual(0, LibraryLoader.DllBits("ZK8_XML_Conv.dll"), "bits");
        });
        Run("tag list after a conversion, and in a folder that is not there", () => {
            Converter.CustomerToDevice(Path.Combine(s_examples, "customer_catalogue.xml"), "device.xml", ".");
            Converter.WriteTagList("tags.txt");
            string[] lines = File.ReadAllText("tags.txt").Split(new[] { "\r\n" }, StringSplitOptions.None);
            ExpectEqual("899 001   acs          account_status 032   art          article",
                        lines.Length + " " + lines[0] + " " + lines[31], "lines, the first and the 32nd");
            ExpectEqual("CreateTagList returned -1: the tag list file cannot be opened for writing (no/tags.txt)",
                        Throws(() => Converter.WriteTagList(Path.Combine("no", "tags.txt"))).Message, "message");
        });
        Run("hint without a file, and for other codes; raw exports", () => {
            const string any = "save it as UTF-16, or as UTF-8 starting with <?xml version=\"1.0\" encoding=\"UTF-8\"?>";
            ExpectEqual(any, ResultCodes.Hint(-98), "-98 without a path");
            ExpectEqual(any, ResultCodes.Hint(-98, "missing.xml"), "-98 with a file that is not there");
            ExpectEqual(null, ResultCodes.Hint(-1, "in.xml"), "-1");
            ExpectEqual(-1, Exports.CustToZK8ExtWithLengthAttribute("missing.xml", "out.xml", "."), "result");
            ExpectEqual(ResultCode.InputNotOpened, (ResultCode)Exports.ZK8ToCustExt("missing.xml", "out.xml", "."), "result");
            ExpectEqual(ResultCode.NullArgument, (ResultCode)Exports.ZK8ToCustExt(null, "out.xml", "."), "a null path");
            ExpectEqual("unknown result -100", ResultCodes.Describe(-100), "an unknown code");
        });
        Run("out of memory, then the next call works", () => {
            File.WriteAllText("big.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><scaledata><articles>" + string.Concat(
                Enumerable.Repeat("<article mode=\"write\"><plu_no>1</plu_no><name>Apple</name></article>", 400000)) + "</articles></scaledata>");
            Converter.CustomerToDevice(Path.Combine(s_examples, "customer_catalogue.xml"), "warm.xml", ".");
            ConversionException error = null;
            WithAddressSpace(48, () => error = Throws(() => Converter.CustomerToDevice("big.xml", "big-out.xml", ".")));
            ExpectEqual("CustToZK8Ext returned -96: out of memory: the call could not be completed (big.xml)", error.Message, "message");
            ExpectEqual(ResultCode.OutOfMemory, error.Result, "code");
            ExpectEqual(false, File.Exists("big-out.xml"), "an output after -96");
            Converter.CustomerToDevice(Path.Combine(s_examples, "customer_catalogue.xml"), "device.xml", ".");
            ExpectResult("device.xml", "customer_catalogue_device.txt");
        });

        Console.WriteLine("{0} passed, {1} failed", s_passed, s_failures);
        return s_failures == 0 ? 0 : 1;
    }
}
