// zk8conv convert: many files, each converted in a worker process of its
// own, since the library's state belongs to the whole process.
#pragma once

#include <string>
#include <vector>

enum class BatchDirection { ToDevice, ToCustomer };

// Exit status: 0 when every file converted, 1 when any failed.
int RunBatchConvert(BatchDirection direction, const std::vector<std::string>& inputs,
                    const std::string& outDir, unsigned workers);
