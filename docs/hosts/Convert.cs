// The converter's exports from C#. On Windows the process must match the
// DLL: a 32-bit process loads the 32-bit ZK8_XML_Conv.dll. On Linux (Mono,
// .NET) the same declarations load libZK8_XML_Conv.so, and the calling
// convention is ignored.
//
//   Convert INPUT OUTPUT WORKDIR
using System;
using System.Runtime.InteropServices;

static class ZK8XmlConv
{
    const string Library = "ZK8_XML_Conv";

    // Paths are narrow strings in the system's ANSI code page; a character it
    // cannot hold throws instead of becoming another path.
    [DllImport(Library, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi,
               BestFitMapping = false, ThrowOnUnmappableChar = true)]
    public static extern int CustToZK8Ext(string inputPath, string outputPath,
                                          string workingDirectory);

    [DllImport(Library, CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi,
               BestFitMapping = false, ThrowOnUnmappableChar = true)]
    public static extern int ZK8ToCustExt(string inputPath, string outputPath,
                                          string workingDirectory);
}

static class Program
{
    static int Main(string[] args)
    {
        if (args.Length != 3)
        {
            Console.Error.WriteLine("usage: Convert INPUT OUTPUT WORKDIR");
            return 2;
        }
        int result = ZK8XmlConv.CustToZK8Ext(args[0], args[1], args[2]);
        if (result != 0)
        {
            Console.Error.WriteLine("CustToZK8Ext: {0}", result);
            return 1;
        }
        return 0;
    }
}
