#pragma once

#include <cstdio>

// Shows the run's percentage on stderr: a redrawn bar on a terminal, else one
// "progress N" line per new value. The run's own figure can dip (credential
// replies and the first uploads interleave), so what is shown is the highest
// figure so far: the bar never goes back. One printer serves one run.
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
    int mLast = -1; // the figure shown last, which is the highest so far
    bool mBarShown = false;
};
