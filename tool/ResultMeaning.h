// One-line meanings of the exported functions' negative results.
#pragma once

const char* ResultMeaning(int result);
