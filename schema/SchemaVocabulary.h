// What the schema of one dialect declares, in that dialect's names: the
// root, the record kinds with their lists, the fields, the numbers, the
// file-transfer parts and the modes. Everything comes from the dictionary
// and from the rules the two conversion walks apply to its names.
#pragma once

#include <string>
#include <utility>
#include <vector>

class CDictionary;

enum class SchemaDialect { Customer, Device };

struct SchemaName {
    std::string name;   // in the schema's dialect
    std::string other;  // the same element in the other dialect
    // The tag table's group of the record kind of this name, and whether the
    // name is a record kind at all (16 of them have no group).
    bool record = false;
    std::string group;
    // May hold the device number / the department number.
    bool deviceNo = false;
    bool departmentNo = false;
    // May stand empty with xsi:nil="true" (customer XML only).
    bool nillable = false;
};

struct SchemaRecordKind {
    SchemaName record;
    std::string list;  // the customer list element of the kind
    bool transfer = false;  // a file transfer: an adm block in device XML
};

class CSchemaVocabulary {
public:
    CSchemaVocabulary(const CDictionary& dictionary, SchemaDialect dialect);

    SchemaDialect dialect;
    SchemaName root;                       // scaledata / dat
    std::vector<SchemaRecordKind> records; // all kinds, ordered by record name
    std::vector<SchemaName> fields;        // what any record may hold, by name
    SchemaName deviceNo;                   // device_no / dvn
    SchemaName departmentNo;               // department_no / dpn
    SchemaName exceptions;                 // exceptions / exs
    SchemaName transferBlock;              // adm
    SchemaName transferList;               // trn
    SchemaName transferName;               // nam
    std::vector<SchemaName> transferValues;  // what a transfer keeps: ctg dst lch ori src
    std::string modeAttribute;             // mode / m
    // The operation modes: value in this dialect, and in the other.
    std::vector<std::pair<std::string, std::string>> modes;

private:
    SchemaName Describe(const std::string& tag) const;

    const CDictionary& m_dictionary;
    std::vector<std::pair<std::string, std::string>> m_groups;  // record name, group
};
