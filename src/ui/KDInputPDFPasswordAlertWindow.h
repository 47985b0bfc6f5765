#pragma once

#include "files/PasswordPrompt.h"
#include "ui/KDBaseWindow.h"

#include <QPointer>

#include <memory>

class PdfDocument;
class QEventLoop;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;

namespace Ui {
class KDInputPDFPasswordAlertWindow;
}

// The dialog in which the user unlocks a protected PDF during the intake: the
// open password and, when the document restricts editing, the permissions
// password. It unlocks the document it is given in place; isCanceled() tells
// the intake whether the user gave up.
class KDInputPDFPasswordAlertWindow : public KDBaseWindow, public PasswordPrompt {
    Q_OBJECT
public:
    // The dialog's frame, which the intake passes to the constructor; the
    // height then follows the texts, which wrap in longer languages.
    static constexpr QSize kDialogSize{400, 177};

    explicit KDInputPDFPasswordAlertWindow(QWidget *parent = nullptr);
    ~KDInputPDFPasswordAlertWindow() override;

    // For the intake: a dialog over the window of parentWindow, or none when
    // there is no window to show it over. A pop-up still open (the open
    // panel's name completion) is closed first: it would cover the dialog
    // and take its first key.
    static PasswordPromptFactory promptFactory();
    static void closeOpenPopups();

    void showWithFileName(const QString &fileName, const std::shared_ptr<PdfDocument> &document,
                          bool needEditPassword) override;
    void runModal() override;
    bool isCanceled() const override { return mIsCanceled; }
    void setIsCanceled(bool canceled);

    QString lookPassword() const;
    QString editPassword() const;

    QLabel *lookPasswordLabel() const;
    QLabel *lookPasswordErrorLabel() const;
    QSpacerItem *lookPasswordLabelTopLayout() const;
    QLabel *fileNameLabel() const;
    QLineEdit *lookPasswordInputTextField() const;
    QLabel *editPasswordLabel() const;
    QLabel *editPasswordErrorLabel() const;
    QLineEdit *editPasswordInputTextField() const;
    QPushButton *sureBtn() const;
    QPushButton *cancelBtn() const;

public slots:
    void actionForOKWithSender(QObject *sender = nullptr);
    void actionForCancelWithSender(QObject *sender = nullptr);
    // Any edit of a password field hides that field's error line.
    void controlTextDidChange(QObject *field);

protected:
    void awakeFromNib() override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void styleLabels();
    void connectControls();
    void showFileName(const QString &fileName);
    void fitToContent();

    std::unique_ptr<Ui::KDInputPDFPasswordAlertWindow> ui;
    bool mIsCanceled = false;
    std::shared_ptr<PdfDocument> mPdfDocument;
    QPointer<QEventLoop> mModalLoop;
};
