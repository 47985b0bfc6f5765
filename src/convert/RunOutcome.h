#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class PDFConvertTask;

// What an ended run made of each of its inputs, in the words a person reads:
// the result, or why there is none. The window and the command line show the
// same reasons; texts of our own come in the given interface language.
class RunOutcome final {
public:
    struct File {
        QString inputPath;
        QString resultPath;    // empty when the file failed
        QString failureReason; // empty when it was converted
        bool converted() const { return !resultPath.isEmpty(); }
    };

    RunOutcome() = delete;

    // One entry per task, in the run's order. status, paths and message are
    // the run's completion; a run that failed as a whole gives every file its
    // own reason.
    static QList<File> files(qint32 status, const QStringList &paths, const QString &message,
                             const QList<std::shared_ptr<PDFConvertTask>> &tasks, bool merge, const QString &langName);
    // Whether a task has had its share of the run done: uploaded into a merge,
    // or its result downloaded. What progress counts as done.
    static bool isTaskDone(const PDFConvertTask &task, bool merge);
    // Why a task of a conversion run has no result, from how far it got.
    static QString taskFailureReason(const PDFConvertTask &task, const QString &langName);
    // Why a run failed as a whole; empty when its tasks tell for themselves.
    static QString runFailureReason(qint32 status, bool merge, const QString &langName);
    // "12 converted, 2 failed"; the failed part only when something failed.
    static QString summary(qsizetype converted, qsizetype failed, const QString &langName);
    static QString summary(const QList<File> &files, const QString &langName);
};
