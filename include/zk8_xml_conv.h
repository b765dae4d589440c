/*
 * ZK8_XML_Conv: the XML to XmlTlv converter.
 *
 * Converts customer XML (root "scaledata") into the device XML that ZK8
 * scales take (root "dat") and back. A host program loads the library and
 * calls its exports; all paths are NUL-terminated narrow strings of at most
 * 259 characters. Every function returns 0 on success or a negative code:
 *   -1   the input file cannot be opened
 *   -90  the saved ini file could not be copied (settings-driven exports)
 *   -91  the saved ini file does not exist      (settings-driven exports)
 *   -92  no temporary ini copy could be created (settings-driven exports)
 *   -93  the XML declaration names UTF-8 or UTF-16 without quotes
 *   -94  a read of the input failed
 *   -95  Temp.xml could not be written in full (a full disk), or the input or
 *        Temp.xml could not be opened, during the UTF-8 rewrite
 *   -96  out of memory: the call could not be completed; no output or status
 *        file was written as if it were whole, run-log entry 13017 ("Memory
 *        error") names the input, and the next call works as usual
 *   -97  a path argument was a null pointer: nothing was read, written or
 *        logged
 *   -98  the input is neither marked nor declared as UTF-8 or UTF-16: it has
 *        no byte-order mark, and no XML declaration naming UTF-8 or UTF-16
 *        comes first in it
 *   -99  the input is empty or unreadable
 * Progress and failures are written to Runlog.log in the working directory.
 *
 * Threads: any number of threads may call any exports at the same time. The
 * library runs the calls one at a time, each from its first step to its
 * result, so every call's result, files and run-log entries are those of
 * some one-at-a-time order; the working directory and the default-namespace
 * switch that one call sets are never seen by another call in the middle of
 * its run.
 * Programs: several programs may convert at the same time on one machine.
 * Each conversion reads back its own Temp.xml; the run log takes whole
 * entries and one rotation at a time, and an output one writer at a time;
 * the locks are released by the system when a program ends, however it
 * ends, and another program is waited for 30 s at most.
 */
#ifndef ZK8_XML_CONV_H
#define ZK8_XML_CONV_H

/* The results, as listed above. */
#define ZK8_SUCCESS 0
#define ZK8_INPUT_NOT_OPENED (-1)
#define ZK8_INI_NOT_RESTORED (-90)
#define ZK8_SAVED_INI_MISSING (-91)
#define ZK8_TEMPORARY_INI_NOT_CREATED (-92)
#define ZK8_ENCODING_NOT_QUOTED (-93)
#define ZK8_READ_FAILED (-94)
#define ZK8_TEMP_XML_NOT_WRITTEN (-95)
#define ZK8_OUT_OF_MEMORY (-96)
#define ZK8_NULL_ARGUMENT (-97)
#define ZK8_UNKNOWN_ENCODING (-98)
#define ZK8_INPUT_EMPTY (-99)

#if defined(_WIN32)
#define ZK8_API __stdcall
#if defined(ZK8_BUILDING_LIBRARY)
#define ZK8_EXPORT
#else
#define ZK8_EXPORT __declspec(dllimport)
#endif
#else
#define ZK8_API
#define ZK8_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Device XML to customer XML, plus outputPath + "_Status.xml". The working
 * directory is the folder of the loaded host module (ZKHost.dll, on POSIX
 * libZKHost.so), or of the executable when none is loaded. */
ZK8_EXPORT int ZK8_API ZK8ToCust(const char* inputPath, const char* outputPath);
/* The same with the caller's working directory, used as given. */
ZK8_EXPORT int ZK8_API ZK8ToCustExt(const char* inputPath, const char* outputPath,
                                    const char* workingDirectory);
/* The same with its options read from iniPath (section "Advanced") or from
 * the saved copy workingDirectory/SavedData/<name>_bkp.ini. */
ZK8_EXPORT int ZK8_API ZK8ToCustLibStd(const char* inputPath, const char* outputPath,
                                       const char* workingDirectory, const char* iniPath);

/* Customer XML to device XML. */
ZK8_EXPORT int ZK8_API CustToZK8(const char* inputPath, const char* outputPath);
ZK8_EXPORT int ZK8_API CustToZK8WithLengthAttribute(const char* inputPath, const char* outputPath);
ZK8_EXPORT int ZK8_API CustToZK8Ext(const char* inputPath, const char* outputPath,
                                    const char* workingDirectory);
/* A second name of CustToZK8Ext. */
ZK8_EXPORT int ZK8_API CustToZK8ExtWithLengthAttribute(const char* inputPath,
                                                       const char* outputPath,
                                                       const char* workingDirectory);
ZK8_EXPORT int ZK8_API CustToZK8LibStd(const char* inputPath, const char* outputPath,
                                       const char* workingDirectory, const char* iniPath);

/* Writes the tag dictionary as the last conversion left it: one line per
 * customer name. 0 written, -1 the file could not be opened. */
ZK8_EXPORT int ZK8_API CreateTagList(const char* path);

#ifdef __cplusplus
}
#endif

#endif /* ZK8_XML_CONV_H */
