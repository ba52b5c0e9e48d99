#include "updater/jvm/comparable_version.h"

#include <array>

namespace vantor {

namespace {

constexpr std::size_t kFieldCount = 4;
constexpr std::size_t kFieldWidth = 3;

bool isSeparator(wchar_t c)
{
    return c == L'.' || c == L'_';
}

}  // namespace

std::wstring comparableVersion(std::wstring_view version)
{
    if (version.size() >= kVersionWorkBuffer) {
        throw RankingError("version text longer than the work buffer");
    }
    std::array<std::wstring_view, kFieldCount> fields{};
    std::size_t found = 0;
    std::size_t at = 0;
    while (at < version.size() && found < kFieldCount) {
        if (isSeparator(version[at])) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < version.size() && !isSeparator(version[end])) {
            ++end;
        }
        if (end - at > kLongestVersionField) {
            throw RankingError("version field too long");
        }
        fields[found++] = version.substr(at, end - at);
        at = end;
    }
    // Fields past the fourth are ignored, but must be in range too.
    for (std::size_t run = 0; at < version.size(); ++at) {
        run = isSeparator(version[at]) ? 0 : run + 1;
        if (run > kLongestVersionField) {
            throw RankingError("version field too long");
        }
    }

    std::wstring result;
    result.reserve(kFieldCount * (kFieldWidth + 1));
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const std::wstring_view field = i < found ? fields[i] : std::wstring_view(L"0");
        // The fill is the digit zero, written here by hand: a formatter's
        // width fills strings with blanks, which would rank " 8" below "10"
        // by accident of the blank's code, not of the number.
        if (field.size() < kFieldWidth) {
            result.append(kFieldWidth - field.size(), L'0');
        }
        result.append(field);
        result.push_back(L'.');
    }
    return result;
}

int javaBundleScore(std::wstring_view bundle)
{
    if (bundle == L"jre") {
        return 2;
    }
    if (bundle == L"sdk") {
        return 1;
    }
    throw RankingError("unknown Java bundle");
}

int binJvmDirScore(std::wstring_view binJvmDir)
{
    if (binJvmDir == L"client") {
        return 2;
    }
    if (binJvmDir == L"server") {
        return 1;
    }
    throw RankingError("unknown JVM type");
}

std::wstring withScorePrefix(wchar_t letter, int score, std::wstring_view ranking)
{
    std::wstring result(1, letter);
    result += std::to_wstring(score);
    result.push_back(L'.');
    result.append(ranking);
    return result;
}

bool ranksAbove(std::wstring_view candidate, std::wstring_view best)
{
    // Code unit by code unit; only units up to 0xFFFF occur, so wchar_t of
    // either width orders them alike.
    return candidate.compare(best) > 0;
}

std::size_t indexOfBest(const std::vector<std::wstring>& rankings)
{
    if (rankings.empty()) {
        return std::wstring::npos;
    }
    std::size_t best = 0;
    for (std::size_t i = 1; i < rankings.size(); ++i) {
        if (ranksAbove(rankings[i], rankings[best])) {
            best = i;
        }
    }
    return best;
}

}  // namespace vantor
