#include "sweeps/Scenarios.h"

#include <fstream>
#include <map>
#include <regex>

#include "support/TempFolder.h"

namespace {

std::string Example(const std::string& name) { return ReadFile(std::string(ZK8_EXAMPLES_DIR) + "/" + name); }

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// Interface.ini in the working directory: the run log's level.
std::pair<std::string, std::string> LogLevel(int level) {
    return {"Interface.ini", "[LogFiles]\nLoggingLevel=" + std::to_string(level) + "\n"};
}

const char kEmptyStatus[] = "<?xml version=\"1.0\"?>\n<status/>\n";
const char kToCustomerHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-16\"?><scaledata xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";

// A conversion of `input` (in.xml) into out.xml with $T as working directory.
Scenario Conversion(const std::string& name, const std::string& exportName, const std::string& input) {
    Scenario s;
    s.name = name;
    s.exportName = exportName;
    s.args = {"in.xml", "out.xml", "."};
    s.files = {{"in.xml", input}, LogLevel(1)};
    s.output = "out.xml";
    return s;
}

// Temp.xml of a UTF-8 input: the same text in UTF-16, with FF FE.
void TempXml(Scenario& s, const std::string& text) {
    s.expectedTempXml = Utf16(text);
    s.prerequisites.push_back({"Temp.xml", s.expectedTempXml->size(), -95});
}

// A settings-driven call with the options file `ini` and, where given, its
// saved copy SavedData/<name>_bkp.ini marked for use.
void WithSettings(Scenario& s, const std::string& ini, const std::string& saved = std::string()) {
    s.args.push_back("Trans.ini");
    s.files.push_back({"Trans.ini", ini});
    if (!saved.empty()) {
        s.files.push_back({"SavedData/Trans_bkp.ini", saved});
        // The copy is made before anything else is written.
        s.prerequisites.insert(s.prerequisites.begin(), {"the saved ini file's copy", saved.size(), -90});
    }
}

// The shipped customer catalogue and device reply.
std::string Catalogue() { return Example("customer_catalogue.xml"); }
std::string CatalogueDevice() { return Utf16(Example("results/customer_catalogue_device.txt")); }
std::string CatalogueTempXml() { return Replaced(Catalogue(), "encoding=\"UTF-8\"", "encoding=\"UTF-16\""); }
std::string Reply() { return Example("device_reply.xml"); }
std::string ReplyCustomer() { return Utf16(Example("results/device_reply_customer.txt")); }
std::string ReplyStatus() { return Utf16(Example("results/device_reply_customer_status.txt")); }
std::string ReplyTempXml() { return Replaced(Reply(), "encoding=\"UTF-8\"", "encoding=\"UTF-16\""); }

// The device reply without the nil attribute (bCreateNilAttribute=0).
const char kReplyWithoutNil[] =
    "<?xml version=\"1.0\" encoding=\"UTF-16\"?><scaledata><articles><article mode=\"write\"><plu_no>4711</plu_no>"
    "<name>\xC3\x84pfel Braeburn</name><department_no>1</department_no><last_change/></article><article "
    "mode=\"delete\"><plu_no>4712</plu_no></article></articles><term_lists><term_list mode=\"read\"><name>"
    "Allergene</name></term_list><exceptions><exception><error_no>17</error_no><error>PLU &lt;4713&gt; not "
    "found</error></exception><device_no>3</device_no></exceptions></term_lists></scaledata>";

// The device reply with a character beyond the Basic Multilingual Plane in
// its first name: F0 9F 98 80 is rewritten as U+07D8 and "?" (as the
// rewrite has always decoded four bytes), so Temp.xml holds other
// characters than the input and the engine reads Temp.xml back.
const char kBeyondBmpInput[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<dat>\n  <_/>\n  <art m=\"w\"><dvn>1</dvn><plu>4711</plu><nam>"
    "Apfel \xF0\x9F\x98\x80</nam><dpn>1</dpn><lch/></art>\n  <_/>\n  <art m=\"d\"><dvn>1</dvn><plu>4712</plu>"
    "</art>\n  <_/>\n  <lit m=\"r\"><dvn>2</dvn><nam>Allergene</nam></lit>\n  <_/>\n  <exs>\n    <exc><dvn>3</dvn>"
    "<eno>17</eno><err>PLU &lt;4713&gt; not found</err></exc>\n  </exs>\n</dat>\n";
const char kBeyondBmpTempXml[] =
    "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<dat>\n  <_/>\n  <art m=\"w\"><dvn>1</dvn><plu>4711</plu><nam>"
    "Apfel \xDF\x98?</nam><dpn>1</dpn><lch/></art>\n  <_/>\n  <art m=\"d\"><dvn>1</dvn><plu>4712</plu>"
    "</art>\n  <_/>\n  <lit m=\"r\"><dvn>2</dvn><nam>Allergene</nam></lit>\n  <_/>\n  <exs>\n    <exc><dvn>3</dvn>"
    "<eno>17</eno><err>PLU &lt;4713&gt; not found</err></exc>\n  </exs>\n</dat>\n";
const char kBeyondBmpOutput[] =
    "<?xml version=\"1.0\" encoding=\"UTF-16\"?><scaledata xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
    "<articles><article mode=\"write\"><plu_no>4711</plu_no><name>Apfel \xDF\x98?</name><department_no>1"
    "</department_no><last_change xsi:nil=\"true\"/></article><article mode=\"delete\"><plu_no>4712</plu_no>"
    "</article></articles><term_lists><term_list mode=\"read\"><name>Allergene</name></term_list><exceptions>"
    "<exception><error_no>17</error_no><error>PLU &lt;4713&gt; not found</error></exception><device_no>3"
    "</device_no></exceptions></term_lists></scaledata>";

// A field the dictionary does not know (an entry at level 3) in a record
// with a character beyond the Basic Multilingual Plane.
const char kAppleInput[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><dat><_/><art m=\"w\"><dvn>1</dvn><plu>7</plu><nam>Apfel "
    "\xF0\x9F\x8D\x8E</nam><foo><tid>3</tid></foo></art><_/></dat>";
const char kAppleTempXml[] =
    "<?xml version=\"1.0\" encoding=\"UTF-16\"?><dat><_/><art m=\"w\"><dvn>1</dvn><plu>7</plu><nam>Apfel "
    "\xDF\x8D?</nam><foo><tid>3</tid></foo></art><_/></dat>";
const char kAppleOutput[] =
    "<?xml version=\"1.0\" encoding=\"UTF-16\"?><scaledata xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
    "<articles><article mode=\"write\"><plu_no>7</plu_no><name>Apfel \xDF\x8D?</name></article><text_no>3"
    "</text_no></articles></scaledata>";

// Late fields in small documents (tests/cases/ToDevice.cases and
// ToCustomer.cases): everything is still in memory when they come.
const char kLateToDeviceInput[] =
    "\xEF\xBB\xBF<scaledata><articles><article mode=\"write\"><plu_no>1</plu_no><ingredients><x/></ingredients>"
    "</article><article><plu_no>2</plu_no></article></articles><ingredients><ingredients_no>4</ingredients_no>"
    "</ingredients><plu_no>5</plu_no><text_no>6</text_no></scaledata>";
const char kLateToDeviceOutput[] =
    "<?xml version=\"1.0\" encoding=\"UTF-16\"?><dat><_/><art m=\"w\"><dvn>0</dvn><plu>1</plu><ing><ing/><inn>4"
    "</inn></ing></art><_/><art><dvn>0</dvn><plu>2</plu></art><_/></dat>";
const char kLateToCustomerInput[] =
    "<dat><art><plu>0</plu></art><lit m=\"r\"/><plu>1</plu><lit/><nam>n</nam><art><ing><ino/></ing></art><lit/>"
    "<ing><inn>3</inn></ing></dat>";
const char kLateToCustomerOutput[] =
    "<?xml version=\"1.0\" encoding=\"UTF-16\"?><scaledata xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
    "<articles><article><plu_no>0</plu_no></article><plu_no>1</plu_no><name>n</name></articles><term_lists>"
    "<term_list mode=\"read\"/><term_list/></term_lists><articles><article><ingredients/><ingredients>"
    "<ingredients_no>3</ingredients_no></ingredients></article></articles><term_lists><term_list/></term_lists>"
    "</scaledata>";

// A name of about a hundred characters, so that a few hundred records make
// an output of more than 64 KB (written to the file while the walk goes on).
std::string LongName(int n) {
    return "\xC3\x84pfel " + std::to_string(n) +
           " Braeburn aus dem Alten Land, knackig und s\xC3\xBC\xC3\x9F, Klasse I, lose, 1,99 \xE2\x82\xAC je kg";
}

std::size_t OffsetOf(const std::string& utf16File, const std::string& text) {
    return utf16File.find(Utf16Units(text));
}

// Customer to device: `before` records, one whose ingredients hold
// ingredients, `after` records, then ingredients at the root. Its
// ingredients_no goes back into the inner ingredients of that record, its
// text into the last record but one (tests/cases/ToDevice.cases,
// "LateFieldsGoIntoEarlierElements"). The input is UTF-16: no Temp.xml is
// written, so every byte limit falls on the output.
Scenario LateToDevice(const std::string& name, int before, int after) {
    std::string in = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><scaledata><articles>";
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><dat>";
    const int total = before + after;
    for (int i = 0; i < total; ++i) {
        if (i == before) {
            in += "<article mode=\"write\"><ingredients><ingredients><x/></ingredients></ingredients></article>";
            out += "<_/><art m=\"w\"><dvn>0</dvn><ing><ing/><inn>\xE2\x82\xAC</inn></ing></art>";
        }
        in += "<article mode=\"write\"><plu_no>" + std::to_string(i) + "</plu_no><name>" + LongName(i) +
              "</name></article>";
        out += "<_/><art m=\"w\"><dvn>0</dvn><plu>" + std::to_string(i) + "</plu><nam>" + LongName(i) + "</nam>" +
               (i == total - 2 ? "<ing>t</ing>" : "") + "</art>";
    }
    in += "</articles><ingredients>t<ingredients_no>\xE2\x82\xAC</ingredients_no></ingredients></scaledata>";
    out += "<_/></dat>";
    Scenario s = Conversion(name, "CustToZK8Ext", Utf16(in));
    s.expectedOutput = Utf16(out);
    s.large = true;
    s.marks = {OffsetOf(s.expectedOutput, "<inn>\xE2\x82\xAC</inn>"), OffsetOf(s.expectedOutput, "<ing>t</ing>")};
    return s;
}

// Customer to device: an empty record first, then one record with many
// fields, then ingredients at the root, which go back into the empty record
// (`<fsa/>` becomes `<fsa>...</fsa>`; ToDevice.cases).
Scenario LateIntoEmptyRecord() {
    std::string in = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><scaledata><fiscal_export_state/><article>";
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><dat><_/><fsa><ing><inn>7</inn></ing></fsa><_/>"
                      "<art><dvn>0</dvn>";
    for (int i = 0; i < 3000; ++i) {
        in += "<plu_no>" + std::to_string(i) + "</plu_no>";
        out += "<plu>" + std::to_string(i) + "</plu>";
    }
    in += "</article><ingredients><ingredients_no>7</ingredients_no></ingredients></scaledata>";
    out += "</art><_/></dat>";
    Scenario s = Conversion("LateFieldIntoAnEmptyRecordToDevice", "CustToZK8Ext", Utf16(in));
    s.expectedOutput = Utf16(out);
    s.large = true;
    s.marks = {OffsetOf(s.expectedOutput, "<ing><inn>7</inn></ing>")};
    return s;
}

// Device to customer: `before` term lists, an article, `after` term lists,
// then a plu at the root: it goes back into the article's list, behind the
// article (ToCustomer.cases, "LateFieldsGoIntoEarlierLists"). UTF-8 input:
// Temp.xml is smaller than the output, so limits between the two fall on
// the output.
Scenario LateToCustomer(const std::string& name, int before, int after) {
    std::string in = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><dat>";
    std::string temp = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><dat>";
    std::string out = kToCustomerHead;
    std::string lists;
    const auto termLists = [&](int from, int to) {
        std::string devicePart, customerPart;
        for (int i = from; i < to; ++i) {
            devicePart += "<lit m=\"r\"><nam>" + LongName(i) + "</nam></lit>";
            customerPart += "<term_list mode=\"read\"><name>" + LongName(i) + "</name></term_list>";
        }
        in += devicePart;
        temp += devicePart;
        if (to > from) out += "<term_lists>" + customerPart + "</term_lists>";
    };
    termLists(0, before);
    in += "<art m=\"w\"><plu>0</plu></art>";
    temp += "<art m=\"w\"><plu>0</plu></art>";
    out += "<articles><article mode=\"write\"><plu_no>0</plu_no></article><plu_no>1</plu_no></articles>";
    termLists(before, before + after);
    in += "<plu>1</plu></dat>";
    temp += "<plu>1</plu></dat>";
    out += "</scaledata>";
    Scenario s = Conversion(name, "ZK8ToCustExt", in);
    s.expectedOutput = Utf16(out);
    s.expectedStatus = Utf16(kEmptyStatus);
    TempXml(s, temp);
    s.large = true;
    s.marks = {OffsetOf(s.expectedOutput, "<plu_no>1</plu_no></articles>")};
    return s;
}

// The tag list: one line per customer name of the tag table
// (dictionary/tag_table.txt, records with an id below 2000), sorted by
// name, numbered from 001, with the device tag of the name's first record
// and the name that tag's first record has.
std::string TagListOfTheTable() {
    std::ifstream table(ZK8_TAG_TABLE);
    static const std::regex record(R"(^(\d+) .*extern='([^']*)' intern='([^']*)')");
    std::map<std::string, std::string> tagOfName, nameOfTag;
    for (std::string line; std::getline(table, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, record) || std::stoi(m[1]) >= 2000) continue;
        tagOfName.emplace(m[2], m[3]);
        nameOfTag.emplace(m[3], m[2]);
    }
    std::string list;
    int number = 0;
    for (const auto& [name, tag] : tagOfName) {
        char head[16];
        std::snprintf(head, sizeof head, "%03d   ", ++number);
        list += head + tag + "          " + nameOfTag[tag] + "\r\n";
    }
    return list;
}

std::vector<Scenario> MakeScenarios() {
    std::vector<Scenario> all;

    Scenario s = Conversion("CatalogueToDevice", "CustToZK8Ext", Catalogue());
    s.expectedOutput = CatalogueDevice();
    TempXml(s, CatalogueTempXml());
    all.push_back(s);

    s = Conversion("Utf16CatalogueToDevice", "CustToZK8Ext", Example("customer_catalogue_utf16.xml"));
    s.expectedOutput = CatalogueDevice();
    all.push_back(s);

    s = Conversion("ReplyToCustomer", "ZK8ToCustExt", Reply());
    s.expectedOutput = ReplyCustomer();
    s.expectedStatus = ReplyStatus();
    TempXml(s, ReplyTempXml());
    all.push_back(s);

    s = Conversion("CatalogueToDeviceWithOptions", "CustToZK8LibStd", Catalogue());
    WithSettings(s, "[Advanced]\nbCreateLengthAttribute=1\nbCreateNilAttribute=0\nbEnableDefaultNamespace=1\n");
    s.expectedOutput = CatalogueDevice();
    TempXml(s, CatalogueTempXml());
    all.push_back(s);

    s = Conversion("ReplyToCustomerWithOptions", "ZK8ToCustLibStd", Reply());
    WithSettings(s, "[Advanced]\nbCreateNilAttribute=0\n");
    s.expectedOutput = Utf16(kReplyWithoutNil);
    s.expectedStatus = ReplyStatus();
    TempXml(s, ReplyTempXml());
    all.push_back(s);

    s = Conversion("CatalogueToDeviceFromSavedCopy", "CustToZK8LibStd", Catalogue());
    WithSettings(s, "[Advanced]\nbCreateNilAttribute=1\n",
                 "[Advanced]\nSavedIniFile=1\nbCreateNilAttribute=0\nbEnableDefaultNamespace=1\n");
    s.expectedOutput = CatalogueDevice();
    TempXml(s, CatalogueTempXml());
    all.push_back(s);

    s = Conversion("ReplyToCustomerFromSavedCopy", "ZK8ToCustLibStd", Reply());
    WithSettings(s, "[Advanced]\nbCreateNilAttribute=1\n", "[Advanced]\nSavedIniFile=1\nbCreateNilAttribute=0\n");
    s.expectedOutput = Utf16(kReplyWithoutNil);
    s.expectedStatus = ReplyStatus();
    TempXml(s, ReplyTempXml());
    all.push_back(s);

    s = Conversion("BeyondTheBmpToCustomer", "ZK8ToCustExt", kBeyondBmpInput);
    s.expectedOutput = Utf16(kBeyondBmpOutput);
    s.expectedStatus = ReplyStatus();
    TempXml(s, kBeyondBmpTempXml);
    all.push_back(s);

    s = Conversion("RunLogLevel3ToCustomer", "ZK8ToCustExt", kAppleInput);
    s.files[1] = LogLevel(3);
    s.expectedOutput = Utf16(kAppleOutput);
    s.expectedStatus = Utf16(kEmptyStatus);
    TempXml(s, kAppleTempXml);
    all.push_back(s);

    s = Conversion("RunLogLevel3ToDevice", "CustToZK8Ext", Catalogue());
    s.files[1] = LogLevel(3);
    s.expectedOutput = CatalogueDevice();
    TempXml(s, CatalogueTempXml());
    all.push_back(s);

    s = Conversion("LateFieldsToDevice", "CustToZK8Ext", kLateToDeviceInput);
    s.expectedOutput = Utf16(kLateToDeviceOutput);
    TempXml(s, std::string(kLateToDeviceInput).substr(3));
    all.push_back(s);

    s = Conversion("LateFieldsToCustomer", "ZK8ToCustExt", Utf16(kLateToCustomerInput));
    s.expectedOutput = Utf16(kLateToCustomerOutput);
    s.expectedStatus = Utf16(kEmptyStatus);
    all.push_back(s);

    s = Conversion("OutputThroughALink", "CustToZK8Ext", Catalogue());
    s.args[1] = s.output = "link.xml";
    s.linkTarget = "target.xml";
    s.expectedOutput = CatalogueDevice();
    TempXml(s, CatalogueTempXml());
    all.push_back(s);

    s = Scenario();
    s.name = "TagList";
    s.exportName = "CreateTagList";
    s.args = {"tags.txt"};
    s.files = {{"first.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><scaledata/>"}, LogLevel(1)};
    s.firstCall = {"CustToZK8Ext", "first.xml", "first.out", "."};
    s.output = "tags.txt";
    s.expectedOutput = TagListOfTheTable();
    s.large = true;  // 33 KB
    all.push_back(s);

    all.push_back(LateToDevice("LateFieldAtTheStartToDevice", 0, 600));
    all.push_back(LateToDevice("LateFieldInTheMiddleToDevice", 300, 300));
    all.push_back(LateToDevice("LateFieldAtTheEndToDevice", 560, 40));
    all.push_back(LateIntoEmptyRecord());
    // An output of 170 KB through a link: the file is begun while the walk
    // still runs.
    s = LateToDevice("LargeOutputThroughALink", 0, 600);
    s.args[1] = s.output = "link.xml";
    s.linkTarget = "target.xml";
    s.marks.clear();
    all.push_back(s);
    all.push_back(LateToCustomer("LateFieldAtTheStartToCustomer", 0, 600));
    all.push_back(LateToCustomer("LateFieldInTheMiddleToCustomer", 300, 300));
    all.push_back(LateToCustomer("LateFieldAtTheEndToCustomer", 560, 40));
    return all;
}

}  // namespace

std::string Utf16Units(const std::string& utf8) {
    std::string out;
    out.reserve(2 * utf8.size());
    const auto unit = [&](unsigned u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = utf8[i];
        const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        unsigned u = length == 1 ? c : c & (0x7F >> length);
        for (int k = 1; k < length && i + k < utf8.size(); ++k) u = u << 6 | (utf8[i + k] & 0x3F);
        if (u >= 0x10000) {
            unit(0xD800 | (u - 0x10000) >> 10);
            unit(0xDC00 | (u & 0x3FF));
        } else {
            unit(u);
        }
        i += length;
    }
    return out;
}

std::string Utf16(const std::string& utf8) { return "\xFF\xFE" + Utf16Units(utf8); }

const std::vector<Scenario>& Scenarios() {
    static const std::vector<Scenario> all = MakeScenarios();
    return all;
}
