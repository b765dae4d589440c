// The conversions as methods that throw ConversionException on a negative
// result. Any number of threads may call them at once: the library runs the
// calls one at a time.
namespace Zk8.XmlConv
{
    public static class Converter
    {
        static void Check(string function, int code, string path)
        {
            if (code < 0)
                throw new ConversionException(function, code, path);
        }

        // Customer XML to device XML (UTF-16). The run log and Interface.ini
        // are in workingDirectory.
        public static void CustomerToDevice(string input, string output, string workingDirectory)
        {
            Check("CustToZK8Ext", Exports.CustToZK8Ext(input, output, workingDirectory), input);
        }

        // The same in the folder of the loaded ZKHost module, or of the
        // program when none is loaded.
        public static void CustomerToDevice(string input, string output)
        {
            Check("CustToZK8", Exports.CustToZK8(input, output), input);
        }

        // The same with the options of iniPath (section Advanced); an empty or
        // missing workingDirectory becomes the application-data folder.
        public static void CustomerToDevice(string input, string output, string workingDirectory, string iniPath)
        {
            Check("CustToZK8LibStd", Exports.CustToZK8LibStd(input, output, workingDirectory, iniPath), input);
        }

        // Device XML to customer XML (UTF-16), and the device's error numbers
        // in output + "_Status.xml", whose path is returned.
        public static string DeviceToCustomer(string input, string output, string workingDirectory)
        {
            Check("ZK8ToCustExt", Exports.ZK8ToCustExt(input, output, workingDirectory), input);
            return output + "_Status.xml";
        }

        public static string DeviceToCustomer(string input, string output)
        {
            Check("ZK8ToCust", Exports.ZK8ToCust(input, output), input);
            return output + "_Status.xml";
        }

        public static string DeviceToCustomer(string input, string output, string workingDirectory, string iniPath)
        {
            Check("ZK8ToCustLibStd", Exports.ZK8ToCustLibStd(input, output, workingDirectory, iniPath), input);
            return output + "_Status.xml";
        }

        // The tag dictionary the last conversion used, one line per customer
        // name; empty before any conversion.
        public static void WriteTagList(string path)
        {
            Check("CreateTagList", Exports.CreateTagList(path), path);
        }
    }
}
