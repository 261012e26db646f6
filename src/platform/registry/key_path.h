#pragma once
// Key paths and name comparison of the registry store.
//
// A key path is a list of names separated by backslashes. Empty names
// (leading, trailing or doubled backslashes) are skipped, so "Software\" and
// "\Software" both name the key "Software". Key and value names are compared
// without regard to case: both sides are folded with FoldCase.

#include <string>
#include <string_view>
#include <vector>

// Lower-cases UTF-8 text for comparison: ASCII, Latin-1, Latin Extended-A,
// Greek, Cyrillic (with its extensions) and Armenian capitals map to their
// small letters; every other code point, and every byte that is not part of
// valid UTF-8, is kept unchanged.
std::string FoldCase(std::string_view utf8);

// The non-empty names of a backslash-separated path, in order.
std::vector<std::string_view> SplitKeyPath(std::string_view path);

// The names of path joined by single backslashes ("a\\\\b\\" gives "a\\b").
std::string NormalizeKeyPath(std::string_view path);

// Joins two normalised paths; either may be empty.
std::string JoinKeyPath(std::string_view parent, std::string_view child);
