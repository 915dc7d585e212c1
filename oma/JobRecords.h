#pragma once

// The record list of a job, with the one rule every reader of job data
// keeps: "label=value" lines in order, one per label (compared without regard
// to ASCII letter case); a later record replaces an earlier one in place,
// spelled as the later one; an empty value removes it. Built in linear time:
// lines keyed by their text before the first "=", always the first line of a
// name; removed lines are dropped at the end. The lines of one name are
// chained through their indexes, so a reply of many names costs one map
// entry each and nothing more.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TRecordBuilder {
public:
    void Set(std::string_view label, std::string_view value);
    // The list; the builder is empty afterwards.
    std::vector<std::string> Take();

private:
    static constexpr std::size_t None = static_cast<std::size_t>(-1);
    // The first and last line still listed under one name.
    struct TNameLines {
        std::size_t First = None;
        std::size_t Last = None;
    };
    std::vector<std::string> FLines;
    std::vector<bool> FAlive;
    std::vector<std::size_t> FNextOfName;  // the next line of the same name
    std::unordered_map<std::string, TNameLines> FByName;
};
