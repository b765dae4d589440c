// Thrown by the Converter methods when an export returns a negative code.
using System;

namespace Zk8.XmlConv
{
    [Serializable]
    public class ConversionException : Exception
    {
        public ConversionException(string function, int code, string path)
            : this(function, code, path, ResultCodes.Hint(code, path))
        {
        }

        ConversionException(string function, int code, string path, string hint)
            : base(string.Format("{0} returned {1}: {2} ({3}){4}", function, code,
                                 ResultCodes.Describe(code, function), path, hint == null ? "" : "; " + hint))
        {
            Function = function;
            Code = code;
            Meaning = ResultCodes.Describe(code, function);
            Path = path;
            Hint = hint;
        }

        // The export that failed, the integer it returned and its meaning.
        public string Function { get; private set; }
        public int Code { get; private set; }
        public ResultCode Result { get { return (ResultCode)Code; } }
        public string Meaning { get; private set; }
        // The input (the tag list file for CreateTagList).
        public string Path { get; private set; }
        // What to do, where the meaning alone does not say: for -98, advice
        // that fits the input (ResultCodes.Hint); otherwise null.
        public string Hint { get; private set; }
    }
}
