// Ranking texts of Java runtimes. A runtime's version text becomes a
// comparable version ("1.8.0" gives "001.008.000.000."), and the chooser puts
// the scores of the runtime's layout and JVM type in front of it
// ("D2.B2.001.008.000.000."). Ranking texts compare as plain sequences of
// UTF-16 code units. Pure: no Windows calls.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

// Version texts are copied into a work buffer of this many characters, the
// terminator included, so they hold at most 99 characters.
inline constexpr std::size_t kVersionWorkBuffer = 100;
// The longest single field of a version text that is supported.
inline constexpr std::size_t kLongestVersionField = 48;

// Raised for texts outside what the ranking supports: a version text that
// does not fit the work buffer or has an over-long field, and a layout or
// JVM type that has no score.
class RankingError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// The version text split at every "." and "_" (no empty fields), cut or
// padded with "0" to exactly four fields, each left-filled with the digit
// zero to at least three characters and followed by ".". "1.8.0" gives
// "001.008.000.000.", "1..8" gives "001.008.000.000.", and "1.8.0.1.9"
// gives "001.008.000.001.". Raises RankingError for a text of more than 99
// characters or with a field of more than 48.
std::wstring comparableVersion(std::wstring_view version);

// Score of a runtime's layout: 2 for "jre", 1 for "sdk"; RankingError for
// anything else.
int javaBundleScore(std::wstring_view bundle);

// Score of a JVM type: 2 for "client", 1 for "server"; RankingError for
// anything else.
int binJvmDirScore(std::wstring_view binJvmDir);

// `letter` + score + "." in front of `ranking` ("B2." + "001.008.000.000.").
std::wstring withScorePrefix(wchar_t letter, int score, std::wstring_view ranking);

// True when `candidate` ranks strictly above `best`: the greater sequence of
// code units, a prefix ranking below the longer text.
bool ranksAbove(std::wstring_view candidate, std::wstring_view best);

// Position of the best ranking text: the first one, replaced only by a later
// one that ranks strictly above it, so the earliest of equals wins. npos for
// an empty list.
std::size_t indexOfBest(const std::vector<std::wstring>& rankings);

}  // namespace vantor
