// What the exports return: 0 or a negative code, what each code means, and
// what to do about -98.
using System;
using System.IO;
using System.Text;
using System.Text.RegularExpressions;

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
        NullArgument = -97,
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
                case ResultCode.TempXmlNotOpened: return "Temp.xml could not be written in full, or the input or Temp.xml could not be opened, during the UTF-8 rewrite";
                case ResultCode.OutOfMemory: return "out of memory: the call could not be completed";
                case ResultCode.NullArgument: return "a path was a null pointer: nothing was done";
                case ResultCode.UnknownEncoding: return "the input is neither marked nor declared as UTF-8 or UTF-16";
                case ResultCode.InputEmpty: return "the input is empty or unreadable";
                default: return "unknown result " + code;
            }
        }

        // What to do about a result, where the meaning alone does not say:
        // for -98, advice that fits the input at path, read from the file (its
        // first bytes, its XML declaration, whether it is UTF-8 throughout);
        // without a path or a file to read, advice that fits every such input.
        // null for the other codes. zk8conv and the Python module word it alike.
        public static string Hint(int code, string path = null)
        {
            if (code != (int)ResultCode.UnknownEncoding)
                return null;
            try
            {
                return path == null ? SaveAsUtf : EncodingHint(path);
            }
            catch (Exception)  // the file cannot be read: no advice of its own
            {
                return SaveAsUtf;
            }
        }

        const string AddDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
        const string SaveAsUtf = "save it as UTF-16, or as UTF-8 starting with " + AddDeclaration;
        const int HeadSize = 64 * 1024;
        // "<?xml" and a space or "?" (not "<?xml-stylesheet"), up to "?>".
        static readonly Regex s_declaration = new Regex(@"<\?xml(?=[ \t\r\n?]|\z)(.*?)(?:\?>|\z)",
            RegexOptions.IgnoreCase | RegexOptions.Singleline | RegexOptions.CultureInvariant);
        static readonly Regex s_encoding = new Regex(@"encoding[ \t\r\n]*=[ \t\r\n]*[""']?([^""' \t\r\n?]*)",
            RegexOptions.IgnoreCase | RegexOptions.CultureInvariant);

        static string EncodingHint(string path)
        {
            using (var file = new FileStream(path, FileMode.Open, FileAccess.Read, FileShare.ReadWrite))
            {
                byte[] head = Read(file, HeadSize);
                if (head.Length >= 4 && ((head[0] != 0 && head[1] == 0 && head[2] != 0 && head[3] == 0) ||
                                         (head[0] == 0 && head[1] != 0 && head[2] == 0 && head[3] != 0)))
                    return "it looks like UTF-16 without a byte-order mark; save it with the mark";
                // One character per byte, so that the patterns see the bytes.
                Match declaration = s_declaration.Match(new string(Array.ConvertAll(head, b => (char)b)));
                Match encoding = declaration.Success ? s_encoding.Match(declaration.Groups[1].Value) : Match.Empty;
                if (encoding.Success && encoding.Groups[1].Value.Length > 0)
                {
                    string name = encoding.Groups[1].Value;
                    string lowered = name.ToLowerInvariant();
                    if (lowered == "utf-8" || lowered == "utf-16")
                        return "its XML declaration does not come first; remove what stands before it";
                    return "its declaration names " + name + "; save it as UTF-8 or UTF-16 and name that in the declaration";
                }
                Decoder decoder = new UTF8Encoding(false, true).GetDecoder();
                var characters = new char[HeadSize + 4];
                try
                {
                    for (byte[] piece = head; piece.Length > 0; piece = Read(file, HeadSize))
                        decoder.GetChars(piece, 0, piece.Length, characters, 0, false);
                    decoder.GetChars(new byte[0], 0, 0, characters, 0, true);
                }
                catch (DecoderFallbackException)
                {
                    return "it is not UTF-8; " + SaveAsUtf;
                }
                if (declaration.Success)
                    return "its XML declaration names no encoding; add encoding=\"UTF-8\" to it";
                return "it is UTF-8 without an XML declaration; add " + AddDeclaration + " at its start";
            }
        }

        // Up to count bytes, fewer only at the end of the file.
        static byte[] Read(Stream stream, int count)
        {
            var buffer = new byte[count];
            int filled = 0, read;
            while (filled < count && (read = stream.Read(buffer, filled, count - filled)) > 0)
                filled += read;
            Array.Resize(ref buffer, filled);
            return buffer;
        }
    }
}
