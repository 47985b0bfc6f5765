#pragma once

#include "frameworks/UpdateChecker.h"
#include "frameworks/widgets/KDWindow.h"

#include <QUrl>

#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace Ui {
class KDUpdateWindow;
}

// The answer of an update check: a newer version with a button to its
// download page, up to date, not set up, or why the check failed. While a
// check started by the user runs, it says so.
class KDUpdateWindow : public KDWindow {
    Q_OBJECT
public:
    explicit KDUpdateWindow(QWidget *parent = nullptr);
    ~KDUpdateWindow() override;

    static KDUpdateWindow *LoadFromNib(QWidget *parent = nullptr);

    void showChecking();
    void showResult(const UpdateChecker::Result &result, const QString &currentVersion);
    bool isChecking() const { return mChecking; }
    // The page the download button opens; empty when there is none to offer.
    QUrl downloadUrl() const { return mDownloadUrl; }

    QLabel *mLabelHeadline() const;
    QLabel *mLabelDetail() const;
    QPlainTextEdit *mTextNotes() const;
    QPushButton *mBtnDownload() const;
    QPushButton *mBtnClose() const;

public slots:
    void actionForDownload(QObject *sender = nullptr);

protected:
    void awakeFromNib() override;

private:
    void styleContent();
    void setMessage(const QString &headline, const QString &detail, const QString &notes = {});
    void setDownloadUrl(const QString &url);

    std::unique_ptr<Ui::KDUpdateWindow> ui;
    QUrl mDownloadUrl;
    bool mChecking = false;
};
