// Customer XML to device XML: one walk over the input tree in document
// order, appending the device elements through the dictionary.
#pragma once

#include <cstdint>
#include <string>

#include <pugixml.hpp>

#include "converter/OutputCursor.h"
#include "output/OutputTree.h"
#include "converter/TransferHeader.h"
#include "converter/WalkObserver.h"
#include "dictionary/Dictionary.h"

class CCustToDeviceWalk {
public:
    // operationClass is read and left as the walk's modes set it: the
    // device-number codes of one call depend on the last mode of the call
    // before. A field whose parent was not written is logged (31000) into
    // the run log `log` names (none when it is null).
    CCustToDeviceWalk(const CDictionary& dictionary, COutputTree& output, std::int32_t& operationClass,
                      const LogTarget* log, ConversionObserver* observer = nullptr);

    void Run(const pugi::xml_document& input);

    // The device-number code of a record: from its flags and whether the
    // operation reads.
    static const char* DeviceNumberCode(const NameFacts* record, std::int32_t operationClass);

private:
    void Convert(const pugi::xml_node& node);
    void SetOperationClass(const char* code);
    // File transfers (TransferBlock.cpp).
    void ObserveTransferNode(const pugi::xml_node& node, const char* name, const char* tag);
    void CollectHeaderField(const char* tag, const char* text, const char* modeCode);
    void WriteTransferBlock();

    const CDictionary& m_dictionary;
    COutputTree& m_output;
    std::int32_t& m_operationClass;
    CWalkObserver m_observer;
    COutputCursor m_cursor;
    OutNode m_listNode;
    TransferHeader m_header;
    bool m_headerSeen = false;
    bool m_headerNodeAdded = false;
};
