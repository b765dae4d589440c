// The converter of the library: a conversion from input path to output
// bytes, in either direction, on a session. Each conversion builds what it
// needs for one call (the output, the walk with its run state) and gives it
// back when it ends; what it takes from the calls before and leaves for the
// next is the session's: the operation class, the default-namespace switch,
// the error table, whether the dictionary has been shown.
#pragma once

#include <pugixml.hpp>

#include "dictionary/Dictionary.h"
#include "engine/Session.h"

class CInputBytes;

class CXmlTlvConverter {
public:
    explicit CXmlTlvConverter(CSession& session) : m_session(session) {}

    // Customer XML to device XML. The input is parsed from its bytes where
    // the caller holds them (LoadInput), else read from the file.
    void ConvertCustToZK8(const char* inputPath, const char* outputPath, CInputBytes* bytes = nullptr);
    // Device XML to customer XML and its status file. The input's encoding
    // is found from its bytes unless the caller knows it.
    void ConvertZK8ToCust(const char* inputPath, const char* outputPath, bool createNil,
                          pugi::xml_encoding inputEncoding = pugi::encoding_auto, CInputBytes* bytes = nullptr);
    // The same for an input the caller has loaded (LoadInput).
    void ConvertLoadedZK8ToCust(const pugi::xml_document& input, const char* outputPath, bool createNil);

    // The tag list export: the dictionary as the last conversion used it,
    // empty before the first. 0 written, -1 the file could not be opened.
    int WriteTagList(const char* path) const;
    // The dictionary, from now on also in the tag list.
    const CDictionary& Dictionary();

private:
    CSession& m_session;
};
