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
// actionForCancelConvert(QObject *sender) slot.
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
    KDHoverButton *btnCancel() const;

    void addNotification();
    void updateConvertProgressNotification(const QVariantMap &userInfo);

public slots:
    void actionForCancelConvert(QObject *sender = nullptr);

protected:
    void awakeFromNib() override;

private:
    void styleCancelButton();

    std::unique_ptr<Ui::ConvertProgressWindow> ui;
};
