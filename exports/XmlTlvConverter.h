// The converter of the library: a conversion from input path to output
// bytes, in either direction. Each conversion builds what it needs for one
// call (the output, the walk with its run state) and gives it back when it
// ends; what lives from call to call is here: the operation class the last
// mode left, and whether a conversion has shown the dictionary yet.
#pragma once

#include <cstdint>

#include <pugixml.hpp>

#include "dictionary/Dictionary.h"

class CInputBytes;

class CXmlTlvConverter {
public:
    // Customer XML to device XML. The input is parsed from its bytes where
    // the caller holds them (LoadInput), else read from the file.
    int ConvertCustToZK8(const char* inputPath, const char* outputPath, CInputBytes* bytes = nullptr);
    // Device XML to customer XML and its status file. The input's encoding
    // is found from its bytes unless the caller knows it.
    int ConvertZK8ToCust(const char* inputPath, const char* outputPath, bool createNil, bool defaultNamespace,
                         pugi::xml_encoding inputEncoding = pugi::encoding_auto, CInputBytes* bytes = nullptr);
    // The same for an input the caller has loaded (LoadInput).
    int ConvertLoadedZK8ToCust(const pugi::xml_document& input, const char* outputPath, bool createNil,
                               bool defaultNamespace);

    // The tag list export: the dictionary as the last conversion used it,
    // empty before the first. 0 written, -1 the file could not be opened.
    int WriteTagList(const char* path) const;
    // The dictionary, from now on also in the tag list.
    const CDictionary& Dictionary();

    // The class of the last mode met: it picks the device-number codes,
    // also in the next call's records before any mode.
    std::int32_t m_operationClass = -1;

private:
    bool m_dictionaryShown = false;
};

// The converter shared by every export.
extern CXmlTlvConverter g_converter;
