#pragma once

#include <string>

// Warnings on stderr about input that was taken, but not quite as typed: a
// number given in hexadecimal, a value rounded to what the processor (or the
// page) keeps. One line each, "fxtunectl: warning: ...".

// Whether warnings are printed (the check of several processors' command
// line is silent: each processor's run warns with its address in front).
void SetCtlWarnings(bool on);

// Keeps warnings off while it lives (a second parse of arguments already
// warned about).
class QuietCtlWarnings {
public:
    QuietCtlWarnings();
    ~QuietCtlWarnings();
    QuietCtlWarnings(const QuietCtlWarnings&) = delete;
    QuietCtlWarnings& operator=(const QuietCtlWarnings&) = delete;

private:
    bool m_before;
};

// "0x10" is read as 16: say so.
void WarnIfHexadecimal(const std::string& text);
// what was given as given and is kept as kept (both in the unit); silent
// when the two are the same number.
void WarnIfRounded(const std::string& what, double given, double kept, const std::string& unit);
