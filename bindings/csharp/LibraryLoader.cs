// Makes sure the native library the process loads is the one it can run.
//
// A 32-bit process loads only the 32-bit ZK8_XML_Conv.dll, a 64-bit process
// only the 64-bit one; the wrong one fails deep inside the runtime with a
// BadImageFormatException. Before the first call, on Windows, the loader
// looks beside the program, in runtimes\win-x86|win-x64\native (the NuGet
// package's layout) and in x86|x64 (what its build step copies for .NET
// Framework programs), loads the first DLL of the process's bitness by its
// full path, and otherwise says which DLL it found and which one is needed.
// On Linux the system's search finds libZK8_XML_Conv.so.
using System;
using System.IO;
using System.Runtime.InteropServices;

namespace Zk8.XmlConv
{
    public static class LibraryLoader
    {
        const string DllName = "ZK8_XML_Conv.dll";
        static readonly object Gate = new object();
        static bool s_checked;

        static bool OnWindows
        {
            get { return Environment.OSVersion.Platform == PlatformID.Win32NT; }
        }

        static int ProcessBits
        {
            get { return IntPtr.Size * 8; }
        }

        // 32 or 64 for a Windows DLL built for x86 or x64; 0 for any other file.
        public static int DllBits(string path)
        {
            try
            {
                using (var reader = new BinaryReader(File.OpenRead(path)))
                {
                    if (reader.BaseStream.Length < 0x40 || reader.ReadUInt16() != 0x5A4D)  // "MZ"
                        return 0;
                    reader.BaseStream.Position = 0x3C;
                    long header = reader.ReadUInt32();
                    if (header + 6 > reader.BaseStream.Length)
                        return 0;
                    reader.BaseStream.Position = header;
                    if (reader.ReadUInt32() != 0x00004550)  // "PE\0\0"
                        return 0;
                    switch (reader.ReadUInt16())
                    {
                        case 0x014C: return 32;
                        case 0x8664: return 64;
                        default: return 0;
                    }
                }
            }
            catch (IOException) { return 0; }
            catch (UnauthorizedAccessException) { return 0; }
        }

        // Why a process of processBits bits cannot load the DLL at path, or
        // null when it can (or the file is no Windows DLL at all).
        public static string BitnessProblem(string path, int processBits)
        {
            int bits = DllBits(path);
            if (bits == 0 || bits == processBits)
                return null;
            return string.Format(
                "{0} is the {1}-bit ZK8_XML_Conv.dll and this process is {2}-bit: use the {2}-bit DLL " +
                "(runtimes\\win-x{3}\\native in the NuGet package), or build the program for {4}",
                path, bits, processBits, processBits == 32 ? "86" : "64", bits == 32 ? "x86" : "x64");
        }

        // The message for a library the runtime could not load or run.
        internal static string LoadProblem(Exception error)
        {
            if (!OnWindows)
                return "libZK8_XML_Conv.so could not be loaded (" + error.Message + "): install the " +
                       "package zk8-xml-conv, or put the library on LD_LIBRARY_PATH";
            return string.Format("{0} could not be loaded ({1}): a {2}-bit process needs the {2}-bit DLL " +
                                 "beside the program or on the DLL search path", DllName, error.Message,
                                 ProcessBits);
        }

        // Checks and loads the DLL once; throws InvalidOperationException
        // naming the DLL found when only one of the other bitness is there.
        public static void EnsureLoaded()
        {
            lock (Gate)
            {
                if (s_checked)
                    return;
                if (OnWindows)
                    LoadMatchingDll(AppDomain.CurrentDomain.BaseDirectory);
                s_checked = true;
            }
        }

        static void LoadMatchingDll(string folder)
        {
            string arch = ProcessBits == 32 ? "x86" : "x64";
            string[] candidates = {
                Path.Combine(folder, DllName),
                Path.Combine(folder, "runtimes", "win-" + arch, "native", DllName),
                Path.Combine(folder, arch, DllName),
            };
            string problem = null;
            foreach (string candidate in candidates)
            {
                if (!File.Exists(candidate))
                    continue;
                string mismatch = BitnessProblem(candidate, ProcessBits);
                if (mismatch != null)
                {
                    problem = problem ?? mismatch;
                    continue;
                }
                if (LoadLibraryW(candidate) != IntPtr.Zero)
                    return;
            }
            if (problem != null)
                throw new InvalidOperationException(problem);
        }

        [DllImport("kernel32", CharSet = CharSet.Unicode, SetLastError = true)]
        static extern IntPtr LoadLibraryW(string path);
    }
}
