#pragma once

#include "ui/KDBaseWindow.h"

#include <memory>

class QLabel;
class QPushButton;
class QTextEdit;

namespace Ui {
class KDNoticeWindow;
}

// A small message over a window: a sentence, optionally a path, address or
// reason in a read-only field the user can select (wrapped, however long),
// and Copy to put it on the clipboard.
// Escape, Return and OK close it. It does not block: the caller goes on.
class KDNoticeWindow : public KDBaseWindow {
    Q_OBJECT
public:
    static constexpr int kWidth = 440;

    explicit KDNoticeWindow(QWidget *parent = nullptr);
    ~KDNoticeWindow() override;

    // Shows a notice centred over view's window; detail may be empty. The
    // window deletes itself when closed.
    static KDNoticeWindow *showOver(QWidget *view, const QString &message, const QString &detail = QString());

    QLabel *messageLabel() const;
    QTextEdit *detailField() const;
    QString detail() const;
    QPushButton *copyButton() const;
    QPushButton *closeButton() const;

public slots:
    void actionForCopy(QObject *sender = nullptr);

protected:
    void awakeFromNib() override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setTexts(const QString &message, const QString &detail);
    // As high as its wrapped text, up to kMostDetailLines lines.
    void fitDetailField();
    static constexpr int kMostDetailLines = 6;

    std::unique_ptr<Ui::KDNoticeWindow> ui;
};
