#include "dictionary/TagTable.h"

namespace {

// Ids 1-160 root elements, 1001-1824 commands, 2001-2009 operation modes.
const TagTableEntry g_tagTable[] = {
#include "TagTableData.inc"
};

const int kTagCount = static_cast<int>(sizeof g_tagTable / sizeof g_tagTable[0]);

}  // namespace

int GetTagCount() { return kTagCount; }

std::string GetTagEntry(int index, int& id_out) {
    if (index < 0 || index >= kTagCount) {
        id_out = 0;
        return "undefined code";
    }
    id_out = g_tagTable[index].id;
    return g_tagTable[index].snippet;
}
