// One-line meanings of the exported functions' negative results, and what
// to do about each.
#pragma once

const char* ResultMeaning(int result);
// What to do about it, in a few words.
const char* ResultRemedy(int result);
