// The closest known name to a misspelt one.
#pragma once

#include <string>
#include <vector>

// Empty when no candidate is close enough to be a likely typo.
std::string ClosestName(const std::string& name, const std::vector<std::string>& candidates);
