#include "engine/XmlTlvConverter.h"

#include "converter/InputDocument.h"
#include "output/OutputFile.h"
#include "output/StreamedOutput.h"
#include "to_customer/DeviceToCustWalk.h"
#include "to_device/CustToDeviceWalk.h"

const CDictionary& CXmlTlvConverter::Dictionary() {
    const CDictionary& dictionary = CDictionary::Shared();
    m_session.dictionaryShown = true;
    return dictionary;
}

int CXmlTlvConverter::WriteTagList(const char* path) const {
    if (m_session.dictionaryShown) return CDictionary::Shared().WriteTagList(path, &m_session.unwritten);
    COutputFile file(path, &m_session.unwritten);
    if (!file.IsOpen()) return -1;
    file.Close();
    return 0;
}

void CXmlTlvConverter::ConvertCustToZK8(const char* inputPath, const char* outputPath, CInputBytes* bytes) {
    pugi::xml_document input;
    LoadInput(input, inputPath, pugi::encoding_auto, bytes);
    const CDictionary& dictionary = Dictionary();
    CStreamedOutput output(outputPath, &m_session.unwritten);
    {
        const LogTarget log = m_session.Log();
        CCustToDeviceWalk walk(dictionary, output, m_session.operationClass, &log);
        walk.Run(input);
    }
    output.Finish();
    output.Keep();
}

void CXmlTlvConverter::ConvertZK8ToCust(const char* inputPath, const char* outputPath, bool createNil,
                                       pugi::xml_encoding inputEncoding, CInputBytes* bytes) {
    pugi::xml_document input;
    LoadInput(input, inputPath, inputEncoding, bytes);
    ConvertLoadedZK8ToCust(input, outputPath, createNil);
}

void CXmlTlvConverter::ConvertLoadedZK8ToCust(const pugi::xml_document& input, const char* outputPath,
                                             bool createNil) {
    const CDictionary& dictionary = Dictionary();
    CStreamedOutput output(outputPath, &m_session.unwritten);
    std::string status;
    {
        const LogTarget log = m_session.Log();
        CDeviceToCustWalk walk(dictionary, output, createNil, m_session.defaultNamespace, m_session.errors,
                               &log);
        walk.Run(input);
        status = walk.Status().Bytes(dictionary);
    }
    output.Finish();
    CStatusFile::Write(outputPath, status, &m_session.unwritten);
    output.Keep();
}
