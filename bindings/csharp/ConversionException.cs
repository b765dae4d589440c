// Thrown by the Converter methods when an export returns a negative code.
using System;

namespace Zk8.XmlConv
{
    [Serializable]
    public class ConversionException : Exception
    {
        public ConversionException(string function, int code, string path)
            : base(string.Format("{0} returned {1}: {2} ({3})", function, code,
                                 ResultCodes.Describe(code, function), path))
        {
            Function = function;
            Code = code;
            Meaning = ResultCodes.Describe(code, function);
            Path = path;
        }

        // The export that failed, the integer it returned and its meaning.
        public string Function { get; private set; }
        public int Code { get; private set; }
        public ResultCode Result { get { return (ResultCode)Code; } }
        public string Meaning { get; private set; }
        // The input (the tag list file for CreateTagList).
        public string Path { get; private set; }
    }
}
