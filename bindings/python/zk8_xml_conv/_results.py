"""The library's result codes and what each means."""
import enum


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
    Result.TEMP_XML_NOT_OPENED: "Temp.xml or the input could not be opened during the UTF-8 rewrite",
    Result.OUT_OF_MEMORY: "out of memory: the call could not be completed",
    Result.UNKNOWN_ENCODING: "the input is neither UTF-8 nor UTF-16",
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


class ConversionError(Exception):
    """An export returned a negative code.

    code: the integer the export returned; result: the same as a Result, or
    None for a code this module does not know; meaning: its text; function:
    the export's name; paths: the paths it was given.
    """

    def __init__(self, function, code, paths=()):
        self.function = function
        self.code = code
        self.result = Result(code) if code in Result._value2member_map_ else None
        self.meaning = describe(code, function)
        self.paths = tuple(paths)
        where = f" ({paths[0]})" if paths else ""
        super().__init__(f"{function} returned {code}: {self.meaning}{where}")
