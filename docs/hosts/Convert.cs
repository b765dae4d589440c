// Converts a customer XML file into device XML, and a device reply back,
// with the Zk8.XmlConv binding:
//
//   mcs Convert.cs -r:Zk8.XmlConv.dll && mono Convert.exe CATALOGUE DEVICE_OUTPUT WORKDIR [REPLY CUSTOMER_OUTPUT]
using System;
using Zk8.XmlConv;

static class Program
{
    static int Main(string[] args)
    {
        if (args.Length != 3 && args.Length != 5)
        {
            Console.Error.WriteLine("usage: Convert CATALOGUE DEVICE_OUTPUT WORKDIR [REPLY CUSTOMER_OUTPUT]");
            return 2;
        }
        try
        {
            Converter.CustomerToDevice(args[0], args[1], args[2]);
            if (args.Length == 5)
            {
                string status = Converter.DeviceToCustomer(args[3], args[4], args[2]);
                Console.WriteLine("the device's error numbers are in " + status);
            }
            return 0;
        }
        catch (ConversionException error)
        {
            // error.Code (-1), error.Result (ResultCode.InputNotOpened), error.Meaning
            Console.Error.WriteLine(error.Message);
            return 1;
        }
    }
}
