#include "ui/CommUpdate.h"

#include "frameworks/VAZevediZeziz.h"
#include "product/AppSettings.h"
#include "ui/KDUpdateWindow.h"
#include "ui/KDWindowPresenter.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

namespace {

QPointer<KDUpdateWindow> &openWindow()
{
    static QPointer<KDUpdateWindow> window;
    return window;
}

CommUpdate::AnswerObserver &answerObserver()
{
    static CommUpdate::AnswerObserver observer;
    return observer;
}

QString currentVersion()
{
    const QString version = VAZevediZeziz::appInfo().appVersion();
    return version.isEmpty() ? AppSettings::AppVersion() : version;
}

QWidget *dialogParent(QWidget *parent)
{
    return parent ? parent : qobject_cast<QWidget *>(VAZevediZeziz::parentWindow());
}

// One update window at a time: a new one replaces the last. It is filled
// before it is shown, so that it is centred at its final size.
KDUpdateWindow *presentNewWindow(QWidget *parent, const std::function<void(KDUpdateWindow *)> &fill)
{
    if (KDUpdateWindow *previous = openWindow())
        previous->close();
    KDUpdateWindow *window = KDUpdateWindow::LoadFromNib();
    openWindow() = window;
    fill(window);
    KDWindowPresenter::presentCentred(window, parent);
    return window;
}

void notifyObserver(const UpdateChecker::Result &result, KDUpdateWindow *window)
{
    if (const CommUpdate::AnswerObserver &observer = answerObserver())
        observer(result, window);
}

// What a running check needs to know when its answer comes.
struct PendingCheck {
    QPointer<QWidget> over;
    bool hadParent = false; // a parent that has gone since takes its windows along
    bool silent = false;
    QString version;
    QPointer<KDUpdateWindow> checking;
};

void answer(const PendingCheck &pending, const UpdateChecker::Result &result)
{
    const auto fill = [&](KDUpdateWindow *window) { window->showResult(result, pending.version); };
    KDUpdateWindow *window = nullptr;
    if (!pending.silent) {
        // A window the user closed while waiting stays closed.
        if (pending.checking && !pending.checking->isHidden()) {
            window = pending.checking;
            fill(window);
        }
    } else if (result.outcome == UpdateChecker::Outcome::NewerVersion && (pending.over || !pending.hadParent)) {
        window = presentNewWindow(pending.over, fill);
    }
    notifyObserver(result, window);
}

} // namespace

void CommUpdate::check(QWidget *parent)
{
    start(parent, false);
}

void CommUpdate::checkSilent(QWidget *parent)
{
    start(parent, true);
}

KDUpdateWindow *CommUpdate::currentWindow()
{
    return openWindow();
}

void CommUpdate::setAnswerObserverForTesting(AnswerObserver observer)
{
    answerObserver() = std::move(observer);
}

void CommUpdate::start(QWidget *parent, bool silent)
{
    PendingCheck pending;
    pending.over = dialogParent(parent);
    pending.hadParent = !pending.over.isNull();
    pending.silent = silent;
    pending.version = currentVersion();
    if (!silent)
        pending.checking = presentNewWindow(pending.over, [](KDUpdateWindow *window) { window->showChecking(); });
    // The answer arrives on the HTTP client's thread; windows live on the main thread.
    UpdateChecker::check(pending.version, [pending](const UpdateChecker::Result &result) {
        QMetaObject::invokeMethod(
            qApp, [pending, result] { answer(pending, result); }, Qt::QueuedConnection);
    });
}
