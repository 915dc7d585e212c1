#pragma once

#include <thread>

// Reads the system's font configuration on a thread of its own while the
// application connects to the display, so the window's first text need not
// wait for it: on Linux fontconfig parses its XML configuration once per
// process, about a third of the work up to an idle window. On Windows there
// is nothing to read ahead and it does nothing.
// FontWarmUpPosix.cpp and FontWarmUpWin32.cpp hold the halves.
class TFontWarmUp {
public:
    TFontWarmUp();
    ~TFontWarmUp() { Wait(); }
    TFontWarmUp(const TFontWarmUp&) = delete;
    TFontWarmUp& operator=(const TFontWarmUp&) = delete;

    // Before the first font is used: a font looked up while the thread still
    // reads would have fontconfig read its configuration a second time.
    void Wait() {
        if (FThread.joinable()) FThread.join();
    }

private:
    std::thread FThread;
};
