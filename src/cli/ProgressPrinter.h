#pragma once

#include <cstdio>

// Shows the run's percentage on stderr: a redrawn bar on a terminal, else one
// "progress N" line per new value.
class ProgressPrinter final {
public:
    ProgressPrinter(std::FILE *stream, bool isTerminal, bool quiet);

    void show(int percent);
    // Ends the bar's line so that later output starts on a new one.
    void finish();

private:
    std::FILE *mStream;
    bool mIsTerminal;
    bool mQuiet;
    int mLast = -1;
    bool mBarShown = false;
};
