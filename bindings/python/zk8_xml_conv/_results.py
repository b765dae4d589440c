"""The library's result codes, what each means, and what to do about -98."""
import codecs
import enum
import re


class Result(enum.IntEnum):
    """What an export returned: 0 or one of the negative codes."""

    SUCCESS = 0
    INPUT_NOT_OPENED = -1
    INI_NOT_RESTORED = -90
    SAVED_INI_MISSING = -91
    TEMPORARY_INI_NOT_CREATED = -92
    ENCODING_NOT_QUOTED = -93
    READ_FAILED = -94
    TEMP_XML_NOT_OPENED = -95
    OUT_OF_MEMORY = -96
    NULL_ARGUMENT = -97
    UNKNOWN_ENCODING = -98
    INPUT_EMPTY = -99


MEANINGS = {
    Result.SUCCESS: "success",
    Result.INPUT_NOT_OPENED: "the input file cannot be opened",
    Result.INI_NOT_RESTORED: "the saved ini file could not be copied",
    Result.SAVED_INI_MISSING: "the saved ini file does not exist",
    Result.TEMPORARY_INI_NOT_CREATED: "no temporary ini copy could be created",
    Result.ENCODING_NOT_QUOTED: "the XML declaration names UTF-8 or UTF-16 without quotes",
    Result.READ_FAILED: "a read of the input failed",
    Result.TEMP_XML_NOT_OPENED: "Temp.xml could not be written in full, or the input or Temp.xml could not be opened, during the UTF-8 rewrite",
    Result.OUT_OF_MEMORY: "out of memory: the call could not be completed",
    Result.NULL_ARGUMENT: "a path was a null pointer: nothing was done",
    Result.UNKNOWN_ENCODING: "the input is neither marked nor declared as UTF-8 or UTF-16",
    Result.INPUT_EMPTY: "the input is empty or unreadable",
}

# CreateTagList has one failure of its own.
TAG_LIST_NOT_OPENED = "the tag list file cannot be opened for writing"


def describe(code, function=None):
    """The meaning of a result code, as the header documents it."""
    if function == "CreateTagList" and code == -1:
        return TAG_LIST_NOT_OPENED
    try:
        return MEANINGS[Result(code)]
    except ValueError:
        return f"unknown result {code}"


# What to do about -98, by what the input holds. zk8conv words it alike.
ADD_DECLARATION = '<?xml version="1.0" encoding="UTF-8"?>'
SAVE_AS_UTF = f"save it as UTF-16, or as UTF-8 starting with {ADD_DECLARATION}"
HEAD_SIZE = 64 * 1024
# "<?xml" and a space or "?" (not "<?xml-stylesheet"), up to "?>".
DECLARATION = re.compile(rb"<\?xml(?=[ \t\r\n?]|\Z)(.*?)(?:\?>|\Z)", re.IGNORECASE | re.DOTALL)
ENCODING = re.compile(rb"encoding[ \t\r\n]*=[ \t\r\n]*[\"']?([^\"' \t\r\n?]*)", re.IGNORECASE)


def encoding_hint(path):
    """What to do about a file the library found neither marked nor declared
    as UTF-8 or UTF-16 (-98), from its first bytes, its XML declaration and
    whether it is UTF-8 throughout. Without a file to read, advice that fits
    every such file."""
    try:
        with open(path, "rb") as file:
            head = file.read(HEAD_SIZE)
            if len(head) >= 4 and ((head[0] and not head[1] and head[2] and not head[3]) or
                                   (not head[0] and head[1] and not head[2] and head[3])):
                return "it looks like UTF-16 without a byte-order mark; save it with the mark"
            declaration = DECLARATION.search(head)
            encoding = declaration and ENCODING.search(declaration.group(1))
            if encoding and encoding.group(1):
                name = encoding.group(1).decode("latin-1")
                if name.lower() in ("utf-8", "utf-16"):
                    return "its XML declaration does not come first; remove what stands before it"
                return f"its declaration names {name}; save it as UTF-8 or UTF-16 and name that in the declaration"
            decoder = codecs.getincrementaldecoder("utf-8")("strict")
            try:
                while head:
                    decoder.decode(head)
                    head = file.read(HEAD_SIZE)
                decoder.decode(b"", final=True)
            except UnicodeDecodeError:
                return "it is not UTF-8; " + SAVE_AS_UTF
    except (OSError, TypeError, ValueError):
        return SAVE_AS_UTF
    if declaration:
        return 'its XML declaration names no encoding; add encoding="UTF-8" to it'
    return f"it is UTF-8 without an XML declaration; add {ADD_DECLARATION} at its start"


def hint(code, path=None):
    """What to do about a result, where the meaning alone does not say:
    for -98, advice that fits the input at path. None for other codes."""
    if code != Result.UNKNOWN_ENCODING:
        return None
    return encoding_hint(path) if path is not None else SAVE_AS_UTF


class ConversionError(Exception):
    """An export returned a negative code.

    code: the integer the export returned; result: the same as a Result, or
    None for a code this module does not know; meaning: its text; hint: what
    to do, for -98 read from the input (else None); function: the export's
    name; paths: the paths it was given.
    """

    def __init__(self, function, code, paths=()):
        self.function = function
        self.code = code
        self.result = Result(code) if code in Result._value2member_map_ else None
        self.meaning = describe(code, function)
        self.paths = tuple(paths)
        self.hint = hint(code, paths[0] if paths else None)
        where = f" ({paths[0]})" if paths else ""
        advice = f"; {self.hint}" if self.hint else ""
        super().__init__(f"{function} returned {code}: {self.meaning}{where}{advice}")
