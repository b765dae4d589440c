// The nine exports for hosts that want the integers: each returns what the
// library returned. The first call checks that the native library fits the
// process (LibraryLoader); a library that cannot be loaded throws
// DllNotFoundException or BadImageFormatException with a message that says
// what to install where.
using System;

namespace Zk8.XmlConv
{
    public static class Exports
    {
        delegate int Call();

        static int Run(Call call)
        {
            LibraryLoader.EnsureLoaded();
            try
            {
                return call();
            }
            catch (DllNotFoundException error)
            {
                throw new DllNotFoundException(LibraryLoader.LoadProblem(error), error);
            }
            catch (BadImageFormatException error)
            {
                throw new BadImageFormatException(LibraryLoader.LoadProblem(error), error);
            }
        }

        public static int ZK8ToCust(string inputPath, string outputPath)
        {
            return Run(() => NativeMethods.ZK8ToCust(inputPath, outputPath));
        }

        public static int ZK8ToCustExt(string inputPath, string outputPath, string workingDirectory)
        {
            return Run(() => NativeMethods.ZK8ToCustExt(inputPath, outputPath, workingDirectory));
        }

        public static int ZK8ToCustLibStd(string inputPath, string outputPath, string workingDirectory,
                                          string iniPath)
        {
            return Run(() => NativeMethods.ZK8ToCustLibStd(inputPath, outputPath, workingDirectory, iniPath));
        }

        public static int CustToZK8(string inputPath, string outputPath)
        {
            return Run(() => NativeMethods.CustToZK8(inputPath, outputPath));
        }

        public static int CustToZK8WithLengthAttribute(string inputPath, string outputPath)
        {
            return Run(() => NativeMethods.CustToZK8WithLengthAttribute(inputPath, outputPath));
        }

        public static int CustToZK8Ext(string inputPath, string outputPath, string workingDirectory)
        {
            return Run(() => NativeMethods.CustToZK8Ext(inputPath, outputPath, workingDirectory));
        }

        public static int CustToZK8ExtWithLengthAttribute(string inputPath, string outputPath,
                                                          string workingDirectory)
        {
            return Run(() => NativeMethods.CustToZK8ExtWithLengthAttribute(inputPath, outputPath, workingDirectory));
        }

        public static int CustToZK8LibStd(string inputPath, string outputPath, string workingDirectory,
                                          string iniPath)
        {
            return Run(() => NativeMethods.CustToZK8LibStd(inputPath, outputPath, workingDirectory, iniPath));
        }

        public static int CreateTagList(string path)
        {
            return Run(() => NativeMethods.CreateTagList(path));
        }
    }
}
