// The built-in table of tag records: one XML snippet per record, naming a
// customer element and its device tag.
#pragma once

#include <string>

struct TagTableEntry {
    int id;
    const char* snippet;
};

int GetTagCount();
// The record's snippet; writes its id. Out of range: id 0, "undefined code".
std::string GetTagEntry(int index, int& id_out);
