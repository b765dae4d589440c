#include "tool/ResultMeaning.h"

const char* ResultMeaning(int result) {
    switch (result) {
        case -1: return "input file cannot be opened";
        case -90: return "the saved ini file could not be copied to a temporary file";
        case -91: return "the saved ini file does not exist";
        case -92: return "no temporary copy of the saved ini file could be created";
        case -93: return "the XML declaration names UTF-8 or UTF-16 without quotes";
        case -94: return "reading the input failed";
        case -95: return "Temp.xml or the input could not be opened for the UTF-8 rewrite";
        case -96: return "out of memory: the file is too large for the memory available";
        case -98: return "input is neither UTF-8 nor UTF-16";
        case -99: return "input is empty or cannot be read";
        default: return "conversion failed";
    }
}

const char* ResultRemedy(int result) {
    switch (result) {
        case -1: return "check the path and that the file can be read";
        case -90:
        case -92: return "check that the working directory can be written";
        case -91: return "check the SavedData folder of the working directory";
        case -93: return "quote the encoding, as in encoding=\"UTF-8\"";
        case -94: return "check the file and its disk";
        case -95: return "check that the application-data folder (ZK8_COMMON_APPDATA) can be written";
        case -96: return "split the file or free memory";
        case -98: return "save the file as UTF-8 or UTF-16";
        case -99: return "check that the file holds XML";
        default: return "see the run log in the working directory";
    }
}
