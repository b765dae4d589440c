// Device XML to customer XML: one walk over the input tree in document
// order, appending list elements, records and fields through the dictionary
// and collecting the error numbers for the status file.
#pragma once

#include <string>

#include <pugixml.hpp>

#include "converter/OutputCursor.h"
#include "output/OutputTree.h"
#include "converter/TransferHeader.h"
#include "converter/WalkObserver.h"
#include "dictionary/Dictionary.h"
#include "to_customer/StatusFile.h"

class CDeviceToCustWalk {
public:
    // createNil: empty nillable fields get xsi:nil="true" and the root the
    // schema-instance namespace; defaultNamespace: the root gets the device
    // namespace as its default. The error numbers go into `errors`. A field
    // whose parent was not written is logged (31000) into the run log of
    // `log` names (none when it is null).
    CDeviceToCustWalk(const CDictionary& dictionary, COutputTree& output, bool createNil, bool defaultNamespace,
                      CErrorTable& errors, const LogTarget* log, ConversionObserver* observer = nullptr);

    void Run(const pugi::xml_document& input);
    const CStatusFile& Status() const { return m_status; }

private:
    void Convert(const pugi::xml_node& node);
    OutNode AppendField(const char* name, const char* text);
    // The header block of a file transfer (TransferHeaderWriter.cpp).
    void CollectHeaderField(const char* tag, const char* text, const char* modeWord);
    void WriteHeader();

    const CDictionary& m_dictionary;
    COutputTree& m_output;
    const bool m_createNil;
    const bool m_defaultNamespace;
    CWalkObserver m_observer;
    COutputCursor m_cursor;
    OutNode m_outputRoot;
    OutNode m_listNode;
    TransferHeader m_header;
    CStatusFile m_status;
    bool m_headerSeen = false;
    bool m_statusOpen = false;
    bool m_listOpen = false;
    const char* m_currentRootTag = "";
};
