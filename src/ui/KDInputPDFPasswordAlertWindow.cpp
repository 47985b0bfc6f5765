#include "ui/KDInputPDFPasswordAlertWindow.h"

#include "ui_KDInputPDFPasswordAlertWindow.h"

#include "files/PasswordConfirmation.h"
#include "frameworks/CommLang.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "frameworks/widgets/KDView.h"
#include "ui/KDWindowPresenter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>

namespace {

constexpr float kCornerRadius = 8.0f;
const QColor kErrorRed(220, 38, 38);
// More would be pop-ups opening pop-ups; closing stops long before.
constexpr int kMostPopups = 16;

QString text(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

void setTextColor(QLabel *label, const QColor &color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace

KDInputPDFPasswordAlertWindow::KDInputPDFPasswordAlertWindow(QWidget *parent)
    : KDBaseWindow(parent), ui(std::make_unique<Ui::KDInputPDFPasswordAlertWindow>())
{
    setupContent(*ui);
    setFixedSize(kDialogSize);
    QFont nameFont = ui->fileNameLabel->font();
    nameFont.setBold(true);
    ui->fileNameLabel->setFont(nameFont);
}

KDInputPDFPasswordAlertWindow::~KDInputPDFPasswordAlertWindow() = default;

PasswordPromptFactory KDInputPDFPasswordAlertWindow::promptFactory()
{
    return [](QObject *parentWindow) -> std::unique_ptr<PasswordPrompt> {
        auto *widget = qobject_cast<QWidget *>(parentWindow);
        if (!widget)
            return nullptr;
        closeOpenPopups();
        return std::unique_ptr<PasswordPrompt>(windowWithSuperWindowWithSuperWindow<KDInputPDFPasswordAlertWindow>(
            widget->window(), QRect(QPoint(0, 0), kDialogSize)));
    };
}

void KDInputPDFPasswordAlertWindow::closeOpenPopups()
{
    for (int closed = 0; closed < kMostPopups; ++closed) {
        QWidget *popup = QApplication::activePopupWidget();
        if (!popup)
            return;
        popup->close();
    }
}

void KDInputPDFPasswordAlertWindow::awakeFromNib()
{
    KDBaseWindow::awakeFromNib();
    styleLabels();
    connectControls();
    ui->sureBtn->setText(text("OK"));
    ui->cancelBtn->setText(text("Cancel"));
    contextView()->setBgColor(Qt::white);
    // The title bar lies outside the content area and would otherwise show
    // the clear window background.
    titleBar()->setBgColor(Qt::white);
    setBackgroundColor(Qt::transparent);
}

void KDInputPDFPasswordAlertWindow::styleLabels()
{
    for (QLabel *label : {ui->lookPasswordLabel, ui->editPasswordLabel, ui->fileNameLabel})
        setTextColor(label, Qt::black);
    for (QLabel *label : {ui->editPasswordErrorLabel, ui->lookPasswordErrorLabel}) {
        setTextColor(label, kErrorRed);
        label->setText(text("PasswordError"));
        // The field keeps its width whether the line shows or not.
        QSizePolicy policy = label->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        label->setSizePolicy(policy);
        label->hide();
    }
}

void KDInputPDFPasswordAlertWindow::connectControls()
{
    for (QLineEdit *field : {ui->editPasswordInputTextField, ui->lookPasswordInputTextField}) {
        connect(field, &QLineEdit::textEdited, this, [this, field] { controlTextDidChange(field); });
        connect(field, &QLineEdit::returnPressed, this, [this, field] { actionForOKWithSender(field); });
    }
    connect(ui->sureBtn, &QAbstractButton::clicked, this, [this] { actionForOKWithSender(ui->sureBtn); });
    connect(ui->cancelBtn, &QAbstractButton::clicked, this, [this] { actionForCancelWithSender(ui->cancelBtn); });
}

void KDInputPDFPasswordAlertWindow::showWithFileName(const QString &fileName,
                                                     const std::shared_ptr<PdfDocument> &document,
                                                     bool needEditPassword)
{
    mPdfDocument = document;
    showFileName(fileName);
    minButton()->hide();
    zoomButton()->hide();
    setBorderRadius(kCornerRadius);
    ui->lookPasswordLabel->setText(text("inputFileLookPassword"));
    // The PDF reader always answers the permission queries, so the edit row
    // shows exactly when the document restricts editing.
    ui->editPasswordLabel->setText(text("inputFileEidtPassword"));
    if (!needEditPassword) {
        ui->editPasswordLabel->hide();
        ui->editPasswordInputTextField->hide();
        ui->editPasswordGroup->hide();
    }
    fitToContent();
    ui->lookPasswordInputTextField->setFocus(Qt::OtherFocusReason);
}

// The name heads the dialog across its whole width; a long one loses its middle.
void KDInputPDFPasswordAlertWindow::showFileName(const QString &fileName)
{
    QLabel *label = ui->fileNameLabel;
    label->setToolTip(fileName);
    contextView()->layout()->activate();
    label->setText(label->fontMetrics().elidedText(fileName, Qt::ElideMiddle, label->width()));
}

// Wrapped captions make the dialog taller; it stays centred on its window.
void KDInputPDFPasswordAlertWindow::fitToContent()
{
    KDWindowPresenter::fitHeightToContent(this);
    if (QWidget *over = parentWidget())
        setGeometry(centredFrame(over->window()->frameGeometry(), size()));
}

void KDInputPDFPasswordAlertWindow::runModal()
{
    if (isHidden())
        return;
    QEventLoop loop;
    mModalLoop = &loop;
    loop.exec(QEventLoop::DialogExec);
}

void KDInputPDFPasswordAlertWindow::setIsCanceled(bool canceled)
{
    mIsCanceled = canceled;
}

QString KDInputPDFPasswordAlertWindow::lookPassword() const
{
    return ui->lookPasswordInputTextField->text();
}

QString KDInputPDFPasswordAlertWindow::editPassword() const
{
    return ui->editPasswordInputTextField->text();
}

void KDInputPDFPasswordAlertWindow::actionForOKWithSender(QObject *)
{
    const bool editRowShown = !ui->editPasswordInputTextField->isHidden();
    const PasswordConfirmation::Outcome outcome =
        PasswordConfirmation::confirm(mPdfDocument.get(), lookPassword(), editPassword(), editRowShown);
    if (outcome.unlocked) {
        close();
        // close() marks every ending as a cancel; this one is the exception.
        setIsCanceled(false);
        return;
    }
    if (outcome.lookPasswordError)
        ui->lookPasswordErrorLabel->show();
    if (outcome.editPasswordError)
        ui->editPasswordErrorLabel->show();
}

void KDInputPDFPasswordAlertWindow::actionForCancelWithSender(QObject *)
{
    setIsCanceled(true);
    close();
}

void KDInputPDFPasswordAlertWindow::controlTextDidChange(QObject *field)
{
    auto *textField = qobject_cast<QLineEdit *>(field);
    if (!textField)
        return;
    if (textField == ui->editPasswordInputTextField)
        ui->editPasswordErrorLabel->hide();
    else
        ui->lookPasswordErrorLabel->hide();
}

void KDInputPDFPasswordAlertWindow::closeEvent(QCloseEvent *event)
{
    setIsCanceled(true);
    KDBaseWindow::closeEvent(event);
    if (mModalLoop)
        mModalLoop->quit();
}

void KDInputPDFPasswordAlertWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        actionForCancelWithSender(this);
        return;
    }
    KDBaseWindow::keyPressEvent(event);
}

QLabel *KDInputPDFPasswordAlertWindow::lookPasswordLabel() const
{
    return ui->lookPasswordLabel;
}

QLabel *KDInputPDFPasswordAlertWindow::lookPasswordErrorLabel() const
{
    return ui->lookPasswordErrorLabel;
}

QSpacerItem *KDInputPDFPasswordAlertWindow::lookPasswordLabelTopLayout() const
{
    return ui->lookPasswordLabelTopLayout;
}

QLabel *KDInputPDFPasswordAlertWindow::fileNameLabel() const
{
    return ui->fileNameLabel;
}

QLineEdit *KDInputPDFPasswordAlertWindow::lookPasswordInputTextField() const
{
    return ui->lookPasswordInputTextField;
}

QLabel *KDInputPDFPasswordAlertWindow::editPasswordLabel() const
{
    return ui->editPasswordLabel;
}

QLabel *KDInputPDFPasswordAlertWindow::editPasswordErrorLabel() const
{
    return ui->editPasswordErrorLabel;
}

QLineEdit *KDInputPDFPasswordAlertWindow::editPasswordInputTextField() const
{
    return ui->editPasswordInputTextField;
}

QPushButton *KDInputPDFPasswordAlertWindow::sureBtn() const
{
    return ui->sureBtn;
}

QPushButton *KDInputPDFPasswordAlertWindow::cancelBtn() const
{
    return ui->cancelBtn;
}
