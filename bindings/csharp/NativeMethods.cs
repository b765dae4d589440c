// The library's nine exports as the platform invoke declares them. Windows
// resolves "ZK8_XML_Conv" to ZK8_XML_Conv.dll, Mono and .NET on Linux to
// libZK8_XML_Conv.so. The exports are __stdcall on 32-bit Windows; elsewhere
// there is one calling convention and the attribute changes nothing.
//
// Paths are narrow strings in the system's ANSI code page: a character the
// code page cannot hold throws instead of becoming another path (on Linux
// the strings are passed as UTF-8).
using System.Runtime.InteropServices;

namespace Zk8.XmlConv
{
    static class NativeMethods
    {
        const string Library = "ZK8_XML_Conv";
        const CallingConvention Convention = CallingConvention.StdCall;

        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int ZK8ToCust(string inputPath, string outputPath);

        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int ZK8ToCustExt(string inputPath, string outputPath, string workingDirectory);

        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int ZK8ToCustLibStd(string inputPath, string outputPath, string workingDirectory, string iniPath);

        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int CustToZK8(string inputPath, string outputPath);

        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int CustToZK8WithLengthAttribute(string inputPath, string outputPath);

        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int CustToZK8Ext(string inputPath, string outputPath, string workingDirectory);

        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int CustToZK8ExtWithLengthAttribute(string inputPath, string outputPath, string workingDirectory);

        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int CustToZK8LibStd(string inputPath, string outputPath, string workingDirectory, string iniPath);

        [DllImport(Library, CallingConvention = Convention, CharSet = CharSet.Ansi, BestFitMapping = false, ThrowOnUnmappableChar = true)]
        internal static extern int CreateTagList(string path);
    }
}
