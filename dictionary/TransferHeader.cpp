#include "dictionary/TransferHeader.h"

TransferHeader g_header;

void TransferHeader::ClearHeader() {
    tag.clear();
    mode.clear();
    originator.clear();
    category.clear();
    source.clear();
    destination.clear();
    lastChange.clear();
}

bool TransferHeader::IsFileTransferTag(const std::string& tag) {
    return tag == "img" || tag == "iad" || tag == "imp" || tag == "ini" || tag == "lbl" ||
           tag == "rcp" || tag == "sly";
}
