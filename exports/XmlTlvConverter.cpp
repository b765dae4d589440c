#include "exports/XmlTlvConverter.h"

#include "converter/InputDocument.h"
#include "converter/OutputFile.h"
#include "converter/StreamedOutput.h"
#include "exports/WorkingDirectory.h"
#include "to_customer/DeviceToCustWalk.h"
#include "to_device/CustToDeviceWalk.h"

CXmlTlvConverter g_converter;

const CDictionary& CXmlTlvConverter::Dictionary() {
    const CDictionary& dictionary = CDictionary::Shared();
    m_dictionaryShown = true;
    return dictionary;
}

int CXmlTlvConverter::WriteTagList(const char* path) const {
    if (m_dictionaryShown) return CDictionary::Shared().WriteTagList(path);
    COutputFile file(path);
    if (!file.IsOpen()) return -1;
    file.Close();
    return 0;
}

int CXmlTlvConverter::ConvertCustToZK8(const char* inputPath, const char* outputPath, CInputBytes* bytes) {
    pugi::xml_document input;
    LoadInput(input, inputPath, pugi::encoding_auto, bytes);
    const CDictionary& dictionary = Dictionary();
    CStreamedOutput output(outputPath);
    {
        CCustToDeviceWalk walk(dictionary, output, m_operationClass, g_workingDirectory);
        walk.Run(input);
    }
    output.Finish();
    return 0;
}

int CXmlTlvConverter::ConvertZK8ToCust(const char* inputPath, const char* outputPath, bool createNil,
                                       bool defaultNamespace, pugi::xml_encoding inputEncoding,
                                       CInputBytes* bytes) {
    pugi::xml_document input;
    LoadInput(input, inputPath, inputEncoding, bytes);
    return ConvertLoadedZK8ToCust(input, outputPath, createNil, defaultNamespace);
}

int CXmlTlvConverter::ConvertLoadedZK8ToCust(const pugi::xml_document& input, const char* outputPath,
                                             bool createNil, bool defaultNamespace) {
    const CDictionary& dictionary = Dictionary();
    CStreamedOutput output(outputPath);
    std::string status;
    {
        CDeviceToCustWalk walk(dictionary, output, createNil, defaultNamespace, g_workingDirectory);
        walk.Run(input);
        status = walk.Status().Bytes(dictionary);
    }
    output.Finish();
    CStatusFile::Write(outputPath, status);
    return 0;
}
