// The C# binding against the built library, as a .NET host uses it:
//   mono BindingTest.exe EXAMPLES_FOLDER
// Each case runs in a folder of its own under the system's temporary folder;
// ZK8_COMMON_APPDATA (set by the test) holds Temp.xml.
using System;
using System.Collections.Generic;
using System.IO;
using System.Runtime.InteropServices;
using System.Text;
using Zk8.XmlConv;

static class BindingTest
{
    static string s_examples;
    static int s_failures;

    static void Expect(bool condition, string what)
    {
        if (!condition)
            throw new Exception(what);
    }

    static void ExpectEqual(string expected, string actual, string what)
    {
        if (expected != actual)
            throw new Exception(string.Format("{0}:\n  expected {1}\n  actual   {2}", what, expected, actual));
    }

    // A UTF-16 output read as UTF-8 bytes must equal the shipped result.
    static void ExpectOutput(string output, string result)
    {
        byte[] actual = Encoding.UTF8.GetBytes(File.ReadAllText(output, Encoding.Unicode));
        byte[] expected = File.ReadAllBytes(Path.Combine(s_examples, "results", result));
        ExpectEqual(Encoding.UTF8.GetString(expected), Encoding.UTF8.GetString(actual), output);
    }

    static ConversionException Throws(Action call)
    {
        try { call(); }
        catch (ConversionException error) { return error; }
        throw new Exception("no ConversionException");
    }

    static void Run(string name, Action body)
    {
        string folder = Path.Combine(Path.GetTempPath(), "zk8-cs-" + Guid.NewGuid().ToString("N"));
        Directory.CreateDirectory(folder);
        Environment.CurrentDirectory = folder;
        try
        {
            body();
            Console.WriteLine("ok   " + name);
        }
        catch (Exception error)
        {
            s_failures++;
            Console.WriteLine("FAIL " + name + ": " + error);
        }
        finally
        {
            Directory.Delete(folder, true);
        }
    }

    [StructLayout(LayoutKind.Sequential)]
    struct RLimit { public ulong Current, Maximum; }
    [DllImport("libc", SetLastError = true)] static extern int getrlimit(int resource, out RLimit limit);
    [DllImport("libc", SetLastError = true)] static extern int setrlimit(int resource, ref RLimit limit);
    const int AddressSpace = 9;  // RLIMIT_AS

    // Runs call with the address space in use now plus megabytes more.
    static void WithAddressSpace(int megabytes, Action call)
    {
        ulong inUse = 0;
        foreach (string line in File.ReadAllLines("/proc/self/status"))
            if (line.StartsWith("VmSize:"))
                inUse = ulong.Parse(line.Substring(7).Trim().Split(' ')[0]) << 10;
        RLimit saved;
        getrlimit(AddressSpace, out saved);
        RLimit capped = saved;
        capped.Current = inUse + ((ulong)megabytes << 20);
        setrlimit(AddressSpace, ref capped);
        try { call(); }
        finally { setrlimit(AddressSpace, ref saved); }
    }

    static byte[] PeHeader(ushort machine)
    {
        var bytes = new byte[0x80];
        bytes[0] = (byte)'M'; bytes[1] = (byte)'Z';
        bytes[0x3C] = 0x40;
        Encoding.ASCII.GetBytes("PE\0\0").CopyTo(bytes, 0x40);
        bytes[0x44] = (byte)machine; bytes[0x45] = (byte)(machine >> 8);
        return bytes;
    }

    static int Main(string[] args)
    {
        s_examples = Path.GetFullPath(args[0]);
        string X = s_examples;

        // Both directions and every form of call: the bytes of the C host.
        var conversions = new List<KeyValuePair<string, Action>> {
            new KeyValuePair<string, Action>("customer to device, working directory", () => {
                Converter.CustomerToDevice(Path.Combine(X, "customer_catalogue.xml"), "device.xml", ".");
                ExpectOutput("device.xml", "customer_catalogue_device.txt");
                Expect(File.Exists("Runlog.log"), "no run log in the working directory");
            }),
            new KeyValuePair<string, Action>("customer to device, settings file that is not there", () => {
                Converter.CustomerToDevice(Path.Combine(X, "customer_catalogue.xml"), "device.xml", ".", "none.ini");
                ExpectOutput("device.xml", "customer_catalogue_device.txt");
            }),
            new KeyValuePair<string, Action>("device to customer, with the status file", () => {
                string status = Converter.DeviceToCustomer(Path.Combine(X, "device_label_transfer.xml"), "label.xml", ".");
                ExpectEqual("label.xml_Status.xml", status, "status path");
                ExpectOutput("label.xml", "device_label_transfer_customer.txt");
                ExpectEqual(File.ReadAllText(Path.Combine(X, "results", "device_label_transfer_customer_status.txt")),
                            File.ReadAllText(status), "status file");
            }),
            new KeyValuePair<string, Action>("device to customer, settings file that is not there", () => {
                Converter.DeviceToCustomer(Path.Combine(X, "device_reply.xml"), "reply.xml", ".", "none.ini");
                ExpectOutput("reply.xml", "device_reply_customer.txt");
            }),
            new KeyValuePair<string, Action>("tag list after a conversion", () => {
                Converter.CustomerToDevice(Path.Combine(X, "customer_catalogue.xml"), "device.xml", ".");
                Converter.WriteTagList("tags.txt");
                string[] lines = File.ReadAllText("tags.txt").Split(new[] { "\r\n" }, StringSplitOptions.None);
                ExpectEqual("899", lines.Length.ToString(), "lines, and the empty one after the last");
                ExpectEqual("001   acs          account_status", lines[0], "line 1");
                ExpectEqual("032   art          article", lines[31], "line 32");
            }),
        };

        // Negative results: the exception carries the code and its meaning.
        var failures = new List<Tuple<string, Action, string>> {
            Tuple.Create<string, Action, string>("input not found",
                () => Converter.CustomerToDevice("missing.xml", "out.xml", "."),
                "CustToZK8Ext returned -1: the input file cannot be opened (missing.xml)"),
            Tuple.Create<string, Action, string>("neither UTF-8 nor UTF-16",
                () => { File.WriteAllBytes("in.xml", new byte[] { 0xEF, 0xBB, (byte)'<', (byte)'d', (byte)'/', (byte)'>' });
                        Converter.DeviceToCustomer("in.xml", "out.xml", "."); },
                "ZK8ToCustExt returned -98: the input is neither marked nor declared as UTF-8 or UTF-16 (in.xml); " +
                "it is not UTF-8; save it as UTF-16, or as UTF-8 starting with <?xml version=\"1.0\" encoding=\"UTF-8\"?>"),
            Tuple.Create<string, Action, string>("UTF-8 without a declaration",
                () => { File.WriteAllText("plain.xml", "<scaledata/>");
                        Converter.CustomerToDevice("plain.xml", "out.xml", "."); },
                "CustToZK8Ext returned -98: the input is neither marked nor declared as UTF-8 or UTF-16 (plain.xml); " +
                "it is UTF-8 without an XML declaration; add <?xml version=\"1.0\" encoding=\"UTF-8\"?> at its start"),
            Tuple.Create<string, Action, string>("encoding without quotes",
                () => { File.WriteAllText("in.xml", "<?xml version=\"1.0\" encoding=utf-8?><dat/>");
                        Converter.DeviceToCustomer("in.xml", "out.xml", ".", "none.ini"); },
                "ZK8ToCustLibStd returned -93: the XML declaration names UTF-8 or UTF-16 without quotes (in.xml)"),
            Tuple.Create<string, Action, string>("tag list in a folder that is not there",
                () => Converter.WriteTagList(Path.Combine("no", "tags.txt")),
                "CreateTagList returned -1: the tag list file cannot be opened for writing (no/tags.txt)"),
            Tuple.Create<string, Action, string>("out of memory, then the next call works",
                () => {
                    using (var big = new StreamWriter("big.xml"))
                    {
                        big.Write("<?xml version=\"1.0\" encoding=\"UTF-8\"?><scaledata><articles>");
                        for (int i = 0; i < 400000; i++)
                            big.Write("<article mode=\"write\"><plu_no>1</plu_no><name>Apple</name></article>");
                        big.Write("</articles></scaledata>");
                    }
                    Converter.CustomerToDevice(Path.Combine(X, "customer_catalogue.xml"), "warm.xml", ".");
                    ConversionException error = null;
                    WithAddressSpace(48, () => error = Throws(() => Converter.CustomerToDevice("big.xml", "big-out.xml", ".")));
                    Expect(error.Result == ResultCode.OutOfMemory, "expected OutOfMemory, got " + error.Code);
                    Expect(!File.Exists("big-out.xml"), "an output after -96");
                    Converter.CustomerToDevice(Path.Combine(X, "customer_catalogue.xml"), "device.xml", ".");
                    ExpectOutput("device.xml", "customer_catalogue_device.txt");
                    throw error;
                },
                "CustToZK8Ext returned -96: out of memory: the call could not be completed (big.xml)"),
        };

        foreach (var conversion in conversions)
            Run(conversion.Key, conversion.Value);
        foreach (var failure in failures)
            Run(failure.Item1, () => {
                ConversionException error = Throws(failure.Item2);
                ExpectEqual(failure.Item3, error.Message, "message");
                ExpectEqual(failure.Item3.Split(' ')[2].TrimEnd(':'), error.Code.ToString(), "code");
            });
        // -98: the hint fits the file, as zk8conv's does.
        const string notUtf8 = "it is not UTF-8; save it as UTF-16, or as UTF-8 starting with <?xml version=\"1.0\" encoding=\"UTF-8\"?>";
        const string noDeclaration = "it is UTF-8 without an XML declaration; add <?xml version=\"1.0\" encoding=\"UTF-8\"?> at its start";
        const string notFirst = "its XML declaration does not come first; remove what stands before it";
        const string noMark = "it looks like UTF-16 without a byte-order mark; save it with the mark";
        var latin1 = Encoding.GetEncoding(28591);
        var hints = new[] {  // the input's bytes (one character per byte), the hint
            Tuple.Create("<scaledata/>", noDeclaration),
            Tuple.Create("<dat>\u00C3\u00A4\u00F0\u009F\u0098\u0080</dat>", noDeclaration),
            Tuple.Create("<?xml-stylesheet href=\"a.xsl\"?><dat/>", noDeclaration),
            Tuple.Create("<?xml version='1.0'?><dat/>", "its XML declaration names no encoding; add encoding=\"UTF-8\" to it"),
            Tuple.Create("<?xml version='1.0' encoding='ISO-8859-1'?><dat/>",
                         "its declaration names ISO-8859-1; save it as UTF-8 or UTF-16 and name that in the declaration"),
            Tuple.Create("<?xml version=\"1.0\" encoding = \"windows-1252\" ?><dat>\u00E4</dat>",
                         "its declaration names windows-1252; save it as UTF-8 or UTF-16 and name that in the declaration"),
            Tuple.Create(new string(' ', 1020) + "<?xml version='1.0' encoding='utf-8'?><dat/>", notFirst),
            Tuple.Create("\0<?xml encoding='utf-8'?><dat/>", notFirst),
            Tuple.Create("<\0d\0a\0t\0/\0>\0", noMark),
            Tuple.Create("\0<\0d\0a\0t\0/\0>", noMark),
            Tuple.Create("<dat>\u00E4</dat>", notUtf8),
            Tuple.Create("<?xml version=\"1.0\"?><dat>\u00E4</dat>", notUtf8),
            Tuple.Create("<dat>\u00ED\u00A0\u0080</dat>", notUtf8),
            Tuple.Create("<dat>\u00C0\u00AF</dat>", notUtf8),
            Tuple.Create("<dat/>\u00C3", notUtf8),
            Tuple.Create(new string('a', 70000) + "\u00E4", notUtf8),
        };
        for (int i = 0; i < hints.Length; i++)
        {
            var row = hints[i];
            Run(string.Format("-98 hint, input {0} of {1}", i + 1, hints.Length), () => {
                File.WriteAllBytes("in.xml", latin1.GetBytes(row.Item1));
                ConversionException error = Throws(() => Converter.CustomerToDevice("in.xml", "out.xml", "."));
                ExpectEqual("-98", error.Code.ToString(), "code");
                ExpectEqual(row.Item2, error.Hint, "hint");
            });
        }
        Run("hint without a file, and for other codes", () => {
            const string any = "save it as UTF-16, or as UTF-8 starting with <?xml version=\"1.0\" encoding=\"UTF-8\"?>";
            ExpectEqual(any, ResultCodes.Hint(-98), "-98 without a path");
            ExpectEqual(any, ResultCodes.Hint(-98, "missing.xml"), "-98 with a file that is not there");
            ExpectEqual(null, ResultCodes.Hint(-1, "in.xml"), "-1");
        });
        Run("raw exports return the integer", () => {
            ExpectEqual("-1", Exports.CustToZK8ExtWithLengthAttribute("missing.xml", "out.xml", ".").ToString(), "result");
            ExpectEqual("InputNotOpened", ((ResultCode)Exports.ZK8ToCustExt("missing.xml", "out.xml", ".")).ToString(), "result");
            ExpectEqual("NullArgument", ((ResultCode)Exports.ZK8ToCustExt(null, "out.xml", ".")).ToString(), "a null path");
            ExpectEqual("unknown result -100", ResultCodes.Describe(-100), "an unknown code");
        });

        // Which DLL a process of which bitness can load.
        var bitness = new[] {
            Tuple.Create((ushort)0x014C, 64, "ZK8_XML_Conv.dll is the 32-bit ZK8_XML_Conv.dll and this process is 64-bit: use the 64-bit DLL (runtimes\\win-x64\\native in the NuGet package), or build the program for x86"),
            Tuple.Create((ushort)0x8664, 32, "ZK8_XML_Conv.dll is the 64-bit ZK8_XML_Conv.dll and this process is 32-bit: use the 32-bit DLL (runtimes\\win-x86\\native in the NuGet package), or build the program for x64"),
            Tuple.Create((ushort)0x014C, 32, (string)null),
            Tuple.Create((ushort)0x8664, 64, (string)null),
            Tuple.Create((ushort)0xAA64, 64, (string)null),
        };
        foreach (var row in bitness)
            Run(string.Format("DLL for machine {0:X4} in a {1}-bit process", row.Item1, row.Item2), () => {
                File.WriteAllBytes("ZK8_XML_Conv.dll", PeHeader(row.Item1));
                ExpectEqual(row.Item3, LibraryLoader.BitnessProblem("ZK8_XML_Conv.dll", row.Item2), "problem");
            });
        Run("a file that is no DLL", () => {
            File.WriteAllText("ZK8_XML_Conv.dll", "MZ");
            ExpectEqual("0", LibraryLoader.DllBits("ZK8_XML_Conv.dll").ToString(), "bits");
        });

        Console.WriteLine(s_failures == 0 ? "all passed" : s_failures + " failed");
        return s_failures == 0 ? 0 : 1;
    }
}
