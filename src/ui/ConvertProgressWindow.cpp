#include "ui/ConvertProgressWindow.h"

#include "ui_ConvertProgressWindow.h"

#include "frameworks/CommLang.h"
#include "frameworks/NotificationCenter.h"
#include "frameworks/widgets/KDAction.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "frameworks/widgets/KDViewSlider.h"

#include <QThread>

#include <algorithm>

namespace {

const QColor kTrackColor(238, 238, 238);
const QColor kProgressBlue(34, 170, 254);
const QColor kFailedRed(255, 59, 48);

QString convertingText()
{
    return CommLang::GetAppLang(QStringLiteral("Converting")) + QStringLiteral("...");
}

} // namespace

ConvertProgressWindow::ConvertProgressWindow(QWidget *parent)
    : KDWindow(parent), ui(std::make_unique<Ui::ConvertProgressWindow>())
{
    setupContent(*ui);
    // A sheet hangs from the parent's title bar and has none of its own.
    setTitleBarVisible(false);
    setFixedSize(contextView()->size());
}

ConvertProgressWindow::~ConvertProgressWindow()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

KDViewSlider *ConvertProgressWindow::progressSlider() const
{
    return ui->progressSlider;
}

QLabel *ConvertProgressWindow::convertLabel() const
{
    return ui->convertLabel;
}

QLabel *ConvertProgressWindow::fileLabel() const
{
    return ui->fileLabel;
}

KDHoverButton *ConvertProgressWindow::btnCancel() const
{
    return ui->btnCancel;
}

void ConvertProgressWindow::awakeFromNib()
{
    KDWindow::awakeFromNib();
    setBackgroundColor(Qt::white);
    ui->convertLabel->setText(convertingText());
    KDViewSlider *slider = ui->progressSlider;
    slider->setBgColor(kTrackColor);
    slider->setProgressColor(kProgressBlue);
    slider->setRound(true);
    slider->setProgress(0.0);
    slider->setLineWith(6.0);
    slider->setCornerRadius(2.0);
    styleCancelButton();
    addNotification();
}

void ConvertProgressWindow::styleCancelButton()
{
    KDHoverButton *button = ui->btnCancel;
    button->setTitle(CommLang::GetAppLang(QStringLiteral("Cancel")));
    button->setTitleColor(Qt::black);
    button->setHasBorder(true);
    button->setBorderColor(QColor(180, 180, 180));
    button->setNormalBgColor(QColor(215, 215, 215));
    button->setHoverBgColor(QColor(215, 215, 215));
    button->setPressedBgColor(QColor(200, 200, 200));
    connect(button, &QAbstractButton::clicked, this, [this] { actionForCancelConvert(ui->btnCancel); });
}

void ConvertProgressWindow::addNotification()
{
    NotificationCenter::defaultCenter().addObserver(
        this, kProgressNotification, [this](const QString &, const QVariantMap &userInfo) {
            // Observers run on the posting thread; widgets live on this one.
            if (QThread::currentThread() == thread())
                updateConvertProgressNotification(userInfo);
            else
                QMetaObject::invokeMethod(
                    this, [this, userInfo] { updateConvertProgressNotification(userInfo); }, Qt::QueuedConnection);
        });
}

void ConvertProgressWindow::updateConvertProgressNotification(const QVariantMap &userInfo)
{
    // A payload without a readable status changes nothing but the bar, rather
    // than reading as 0, the failed status.
    bool hasStatus = false;
    const qint32 status = userInfo.value(kStatusKey).toInt(&hasStatus);
    const bool runEnded = hasStatus && (status == ConvertProgressFinished || status == ConvertProgressFailed);
    const qint32 percentage = shownPercentage(userInfo.value(kProgressKey).toInt(), runEnded);
    ui->progressSlider->setProgress(static_cast<float>(percentage) / 100.0f, true);
    if (!hasStatus)
        return;
    switch (status) {
    case ConvertProgressConverting:
        ui->convertLabel->setText(convertingText() + QString::number(percentage) + QStringLiteral("%"));
        ui->progressSlider->setProgressColor(kProgressBlue);
        break;
    case ConvertProgressFinished:
        ui->convertLabel->setText(CommLang::GetAppLang(QStringLiteral("Finished")));
        ui->progressSlider->setProgressColor(kProgressBlue);
        break;
    case ConvertProgressFailed:
        ui->convertLabel->setText(CommLang::GetAppLang(QStringLiteral("ConvertFailed")));
        ui->progressSlider->setProgressColor(kFailedRed);
        break;
    default:
        break;
    }
}

qint32 ConvertProgressWindow::shownPercentage(qint32 reported, bool runEnded)
{
    if (runEnded) {
        mHighest = 0; // an end shows its own figure; what follows is a new run
        return reported;
    }
    mHighest = std::max(mHighest, reported);
    return mHighest;
}

void ConvertProgressWindow::actionForCancelConvert(QObject *)
{
    if (KDWindow *parent = sheetParent())
        KDAction::send(parent, "actionForCancelConvert", nullptr);
}
