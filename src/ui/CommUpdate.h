#pragma once

#include "frameworks/UpdateChecker.h"

#include <functional>

class KDUpdateWindow;
class QWidget;

// The update checks of the desktop application. The feed is read by the
// core's UpdateChecker; this side shows its answer. Windows go over parent,
// or over the framework's parent window when none is given.
class CommUpdate final {
public:
    CommUpdate() = delete;

    // The user's check: a window says at once that it is checking, then
    // gives the answer whatever it is.
    static void check(QWidget *parent = nullptr);
    // The start-up check: a window only when a newer version exists.
    static void checkSilent(QWidget *parent = nullptr);

    // The window showing the latest answer, if it is still open.
    static KDUpdateWindow *currentWindow();

    // Called on the main thread once an answer has been handled, with the
    // window that shows it or nullptr when it was kept quiet.
    using AnswerObserver = std::function<void(const UpdateChecker::Result &, KDUpdateWindow *)>;
    static void setAnswerObserverForTesting(AnswerObserver observer);

private:
    static void start(QWidget *parent, bool silent);
};
