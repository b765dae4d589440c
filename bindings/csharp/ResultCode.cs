// What the exports return: 0 or a negative code, and what each code means.
namespace Zk8.XmlConv
{
    public enum ResultCode
    {
        Success = 0,
        InputNotOpened = -1,
        IniNotRestored = -90,
        SavedIniMissing = -91,
        TemporaryIniNotCreated = -92,
        EncodingNotQuoted = -93,
        ReadFailed = -94,
        TempXmlNotOpened = -95,
        OutOfMemory = -96,
        UnknownEncoding = -98,
        InputEmpty = -99,
    }

    public static class ResultCodes
    {
        // The meaning of a code as the header documents it; CreateTagList's
        // -1 is the tag list file, not an input.
        public static string Describe(int code, string function = null)
        {
            if (function == "CreateTagList" && code == -1)
                return "the tag list file cannot be opened for writing";
            switch ((ResultCode)code)
            {
                case ResultCode.Success: return "success";
                case ResultCode.InputNotOpened: return "the input file cannot be opened";
                case ResultCode.IniNotRestored: return "the saved ini file could not be copied";
                case ResultCode.SavedIniMissing: return "the saved ini file does not exist";
                case ResultCode.TemporaryIniNotCreated: return "no temporary ini copy could be created";
                case ResultCode.EncodingNotQuoted: return "the XML declaration names UTF-8 or UTF-16 without quotes";
                case ResultCode.ReadFailed: return "a read of the input failed";
                case ResultCode.TempXmlNotOpened: return "Temp.xml or the input could not be opened during the UTF-8 rewrite";
                case ResultCode.OutOfMemory: return "out of memory: the call could not be completed";
                case ResultCode.UnknownEncoding: return "the input is neither UTF-8 nor UTF-16";
                case ResultCode.InputEmpty: return "the input is empty or unreadable";
                default: return "unknown result " + code;
            }
        }
    }
}
