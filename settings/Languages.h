#pragma once

// The languages the window ships in, English (the source language) first:
// their codes, as the settings' Language value names them, and their names
// in their own language, as the Settings dialog offers them.

#include <QString>
#include <array>

struct TLanguage {
    const char* Code;
    const char16_t* Name;
};

inline constexpr std::array<TLanguage, 6> Languages{{
    {"en", u"English"},
    {"de", u"Deutsch"},
    {"fr", u"Fran\u00e7ais"},
    {"es", u"Espa\u00f1ol"},
    {"it", u"Italiano"},
    {"pt", u"Portugu\u00eas"},
}};
