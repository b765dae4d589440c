// The catalogue of run-log messages: fixed texts selected by message code.
// Most rows belong to other modules of the product family; all of them are
// searched.
#include <cstdint>
#include <string>

#include "runlog/ZkLogFile.h"

struct MessageCatalogueRow {
    std::int32_t code;
    const char* text;
};

extern const MessageCatalogueRow g_messageCatalogue[105];

// Several texts end with a blank on purpose: the caller's text follows it
// after one more blank.
const MessageCatalogueRow g_messageCatalogue[105] = {
    {22003, "Error creating ZK8 input file."},
    {32000, "ZK8 output file doesn't exist."},
    {32002, "ZK8 output file parse error."},
    {31000, "ZK8 unknown field - "},
    {32003, "Invalid input file"},
    {32004, "Error opening file, during UTF8 to UTF16 conversion"},
    {32005, "UTF8 to UTF16 conversion successfull"},
    {32006, "Input file type is not UTF8 or UTF16"},
    {32007, "Error reading file, during UTF8 to UTF16 conversion"},
    {32008, "Error in XML declaration"},
    {32300, "Invalid parameter, default value used for"},
    {32301, "Conversion: "},
    {22000, "KQ5 input file doesn't exist."},
    {22001, "Error opening KQ5 input file."},
    {22002, "KQ5 input file parse error."},
    {22004, "KQ5 record - wrong length error."},
    {21000, "KQ5 record - unsupported access mode."},
    {21001, "KQ5 Record - unsupported ident code ["},
    {32001, "Error creating KQ5 output file"},
    {22005, "KQ5 record - unsupported ZK8 offset unit sell by date format [DEP/PLU]:"},
    {22006, "KQ5 record - unsupported ZK8 offset unit best before date format [DEP/PLU]:"},
    {22007, "ZK8 wrong or unsupported value in command <"},
    {22008, "ZK8 incompatible offset unit and sell by date format [DEP/PLU]:"},
    {22009, "ZK8 incompatible offset unit and best before date format [DEP/PLU]:"},
    {220001, "XML input file doesn't exist."},
    {220011, "XML input file parse error."},
    {220041, "XML unknown field - '"},
    {320011, "Error creating XML output file"},
    {220012, "XML file input invalid -"},
    {32011, "Create nil-attribute in xml data is enabled"},
    {32012, "Create nil-attribute in xml data is disabled"},
    {32013, "Create length attribute in xml data is enabled"},
    {32014, "Create length attribute in xml data is disabled"},
    {32015, "Create default namespace in xml data is enabled"},
    {32016, "Create default namespace in xml data is disabled"},
    {13000, "No active device found."},
    {13001, "Timeout occurred with device"},
    {13002, "Unreachable device(s) -"},
    {13005, "Reconnect occurred with device "},
    {13006, "Single communication started (no data distribution will be performed)"},
    {13007, "No communication will be performed! Both, single communication and store number search is active."},
    {13008, "NMW.XML file not exists "},
    {13009, "Try to read netmap file"},
    {13010, "Netmap file read successfully"},
    {13011, "Sending file - "},
    {13012, "zk8_in.xml file open error"},
    {13013, "Parse error in sending data"},
    {13014, "Target device not found"},
    {13015, "Parse error in reading data"},
    {13016, "tmp_in_out.bin file open error"},
    {13017, "Memory error"},
    {13018, "Error sending data"},
    {13019, "Write timeout"},
    {13020, "Read timeout"},
    {13021, "Connect timeout"},
    {13023, "Transmission error"},
    {13024, "Transmission error occured with device(s) -"},
    {13025, "A required element is missing or empty"},
    {13026, "Error accessing the ini file -"},
    {13027, "Invalid ini file path"},
    {13028, "Default Ini file creation failed"},
    {13029, "Default Ini file created successfully"},
    {13030, "Backup Ini file creation failed"},
    {13031, "Application data path invalid"},
    {13032, "Invalid Ini File"},
    {13033, "Write to ini file failed"},
    {13034, "Backup Ini file created successfully"},
    {13300, "Error moving the tmp file to ini file"},
    {13301, "Error deleting the existing ini file"},
    {13302, "Error copying the ini file to tmp file"},
    {13303, "Backup ini file not found"},
    {13304, "Temp Ini file not found"},
    {13305, "Restoration failed - "},
    {13601, "Record read successfull"},
    {13602, "Record write successfull"},
    {11000, "Customer to ZK8 conversion started."},
    {11001, "Customer to ZK8 conversion succeeded."},
    {11002, "Data transmission started."},
    {11003, "Data transmission succeeded."},
    {11004, "ZK8 to Customer conversion started."},
    {11005, "ZK8 to Customer conversion succeeded."},
    {12000, "Custom to ZK8 converter not found."},
    {12001, "Error get procedure 'CustToZK8'."},
    {12002, "Error get procedure 'ZK8ToCust'."},
    {12003, "Customer to ZK8 conversion failed."},
    {12004, "ZK8 transmission error - "},
    {12005, "ZK8 to Customer conversion failed."},
    {12006, "Invalid 'ZK8Host.ini'."},
    {12016, "Error get procedure 'GenNetMapKQ5'."},
    {12017, "Error get procedure 'CustToZK8WithLengthAttribute'."},
    {12018, "Error get procedure 'CustToZK8ExtWithLengthAttribute'."},
    {12019, "Unsupported converter available."},
    {11006, "ZK8Hst dll not found."},
    {11007, "Ini file parsed successfully"},
    {11008, "zk8_in_out.xml file creation failed"},
    {12020, "Error get procedure 'CustToZK8LibStd'."},
    {12021, "Error get procedure 'ZK8ToCustLibStd'."},
    {11300, "Code page created successfully"},
    {11301, "Code page file creation failed"},
    {11302, "Input file in the directory is not valid"},
    {11303, "Interface file created successfully"},
    {11304, "Interface file creation failed"},
    {11305, "Status file created successfully"},
    {11306, "Status file creation failed"},
    {11307, "Interface file updated successfully"},
};

namespace {

// Code whose entries carry the caller's text alone.
constexpr int kPlainTextCode = 1;
const char kUndefinedCodeText[] = "undefined runlog code";

}  // namespace

std::string GetMessageText(int code) {
    if (code == kPlainTextCode) return std::string();
    for (const MessageCatalogueRow& row : g_messageCatalogue) {
        if (row.code == code) return row.text;
    }
    return kUndefinedCodeText;
}
