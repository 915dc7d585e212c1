#pragma once

#include <stdexcept>
#include <string>

// Trace data that cannot become a radius string, or a trace that cannot be
// encoded. what() is the text shown to the operator.
class EOmaFormat : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A radius string group that is not a decimal integer; the text is the one
// the operator knows from every other integer conversion.
class EOmaConvert : public EOmaFormat {
public:
    using EOmaFormat::EOmaFormat;
};
