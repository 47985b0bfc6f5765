#pragma once

#include "frameworks/widgets/KDWindow.h"

#include <QVariantMap>

#include <memory>

class KDHoverButton;
class KDViewSlider;
class QLabel;

namespace Ui {
class ConvertProgressWindow;
}

// The sheet shown over the main window during a run: a status line, a
// progress bar and Cancel. It follows "notification.update.convertProgress"
// and hands Cancel to the window it is attached to, through that window's
// actionForCancelConvert(QObject *sender) slot. A run's figure can dip
// (credential replies and the first uploads interleave), so the sheet shows
// the highest figure so far; after a finished or failed status the next
// figure starts a new run from 0.
class ConvertProgressWindow : public KDWindow {
    Q_OBJECT
public:
    // The run statuses the progress notification carries.
    enum ConvertProgressStatus : qint32 {
        ConvertProgressFailed = 0,
        ConvertProgressConverting = 1,
        ConvertProgressFinished = 2
    };

    static inline const QString kProgressNotification = QStringLiteral("notification.update.convertProgress");
    static inline const QString kStatusKey = QStringLiteral("key.convert.status");
    static inline const QString kProgressKey = QStringLiteral("key.convert.currentProgress");

    explicit ConvertProgressWindow(QWidget *parent = nullptr);
    ~ConvertProgressWindow() override;

    KDViewSlider *progressSlider() const;
    QLabel *convertLabel() const;
    // The line under the status: the file being worked on ("report.pdf (3 of
    // 12)"), or why a run failed; its owner fills it.
    QLabel *fileLabel() const;
    KDHoverButton *btnCancel() const;

    void addNotification();
    void updateConvertProgressNotification(const QVariantMap &userInfo);

public slots:
    void actionForCancelConvert(QObject *sender = nullptr);

protected:
    void awakeFromNib() override;

private:
    void styleCancelButton();
    // The figure to show for a reported one: never below what was shown.
    qint32 shownPercentage(qint32 reported, bool runEnded);

    std::unique_ptr<Ui::ConvertProgressWindow> ui;
    qint32 mHighest = 0; // the highest figure of the current run so far
};
