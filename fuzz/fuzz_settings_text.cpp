#include <algorithm>
#include <string>

#include "fuzz/FuzzTarget.h"
#include "base/NameValueList.h"

namespace {

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
        if (upper(a[i]) != upper(b[i])) return false;
    }
    return true;
}

}  // namespace

// The bytes of a settings file as the settings list reads them: lines
// without line ends that lose nothing else, written out and read again the
// same, each name found at its first line, and the defaults set over them.
void FuzzSettingsText(std::string_view data) {
    TNameValueList list;
    list.SetText(data);
    std::string joined;
    for (const std::string& line : list.Strings()) {
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
        joined += line;
    }
    std::string expected;
    for (char c : data)
        if (c != '\r' && c != '\n') expected += c;
    FUZZ_CHECK(joined == expected);

    TNameValueList again;
    again.SetText(list.Text());
    FUZZ_CHECK(again.Strings() == list.Strings());

    // Name lookups cost the list's length each: the first lines only.
    const std::size_t checked = std::min<std::size_t>(list.Count(), 64);
    for (std::size_t i = 0; i < checked; ++i) {
        const std::string& line = list.Strings()[i];
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string name = line.substr(0, equals);
        const int index = list.IndexOfName(name);
        FUZZ_CHECK(index >= 0 && static_cast<std::size_t>(index) <= i);
        const std::string& first = list.Strings()[static_cast<std::size_t>(index)];
        FUZZ_CHECK(SameTextAscii(first.substr(0, first.find('=')), name));
        FUZZ_CHECK(list.Value(name) == first.substr(first.find('=') + 1));
    }

    SetDefaultSettings(again);
    FUZZ_CHECK(again.Value("Points") == "512");
    FUZZ_CHECK(again.Value("BaudRate") == "9600");
    FUZZ_CHECK(again.Count() >= list.Count() && again.Count() <= list.Count() + 5);
    const std::size_t before = again.Count();
    again.SetValue("Points", "");
    FUZZ_CHECK(again.Count() == before - 1);
}

TREVALON_FUZZ_ENTRY(FuzzSettingsText)
