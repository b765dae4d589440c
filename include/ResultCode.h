// The results of the library's calls by name: the public header's list, so
// that the two cannot part.
#pragma once

#include "zk8_xml_conv.h"

enum ResultCode : int {
    kSuccess = ZK8_SUCCESS,
    kInputNotOpened = ZK8_INPUT_NOT_OPENED,
    kIniNotRestored = ZK8_INI_NOT_RESTORED,
    kSavedIniMissing = ZK8_SAVED_INI_MISSING,
    kTemporaryIniNotCreated = ZK8_TEMPORARY_INI_NOT_CREATED,
    kEncodingNotQuoted = ZK8_ENCODING_NOT_QUOTED,
    kReadFailed = ZK8_READ_FAILED,
    kTempXmlNotWritten = ZK8_TEMP_XML_NOT_WRITTEN,
    kOutOfMemory = ZK8_OUT_OF_MEMORY,
    kNullArgument = ZK8_NULL_ARGUMENT,
    kUnknownEncoding = ZK8_UNKNOWN_ENCODING,
    kInputEmpty = ZK8_INPUT_EMPTY,
    // No export returns it: the input is UTF-16 already, and the rewrite
    // leaves it as it is.
    kAlreadyUtf16 = 99,
};
