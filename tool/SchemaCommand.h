// zk8conv schema: the XML Schema of customer or device XML, made from the
// converter's dictionary.
#pragma once

#include <string>

// `dialect` "customer" or "device"; `output` a file, or "-" for standard
// output. Exit status: 0 written, 1 not.
int RunSchema(const std::string& dialect, const std::string& output);
