// Lets a caller watch a conversion walk for everything it drops or alters
// without a word: the library's own conversions run without an observer;
// the checking tool runs the same walks with one.
#pragma once

#include <string>

#include <pugixml.hpp>

enum class ConversionLoss {
    UnknownElement,       // no tag for the name: the element is not written
    TextDropped,          // text that is not the first child of its element
    IgnoredAttribute,     // an attribute the conversion does not write
    UnknownMode,          // a mode word or code that is not in the table
    NoParent,             // nothing open to write into: the node is lost
    ParentNotOpen,        // the parent was not written: placed elsewhere
    SwallowedByTransfer,  // after a file-transfer record: only collected
    TransferValueReplaced,// a later field overwrote a pending transfer value
    SwallowedByHeader,    // after a header block: not written
    NumberNotWritten,     // a device or department number that is not written
    ErrorNotListed,       // beyond the error table's capacity
    TextReplaced,         // the text is replaced by the conversion
};

class ConversionObserver {
public:
    virtual ~ConversionObserver() = default;
    virtual void Report(const pugi::xml_node& node, ConversionLoss loss,
                        const std::string& detail) = 0;
};
