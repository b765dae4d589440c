// Classification of an input as UTF-8 or UTF-16: its byte-order mark first,
// then the encoding its XML declaration names.
#pragma once

#include "ResultCode.h"

class CInputBytes;

enum class TextEncoding { Undetermined, Utf8, Utf16 };

struct EncodingDetection {
    // kSuccess, or kInputEmpty (unreadable or empty), kReadFailed (a short
    // read), kUnknownEncoding (neither), kEncodingNotQuoted (named without
    // quotes).
    int result = kSuccess;
    TextEncoding encoding = TextEncoding::Undetermined;
    // UTF-8 named by the declaration alone: the rewrite puts a mark in front.
    bool needsByteOrderMark = false;
};

// Reads the input's bytes where they are held, else the file.
EncodingDetection DetectEncoding(const char* path, const CInputBytes* bytes = nullptr);
