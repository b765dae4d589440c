// A random sequence of calls in the case language (TESTING.md): 2 to 20
// calls of all nine exports on the named inputs (and a missing one), with
// the files the library reads changed between them, each call followed by
// the step "note". The same seed gives the same steps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

std::string RandomCalls(std::uint64_t seed, const std::vector<std::string>& inputs);
