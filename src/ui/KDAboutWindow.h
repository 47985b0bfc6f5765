#pragma once

#include "frameworks/widgets/KDWindow.h"

#include <memory>

class KDUnderlinedButton;
class QLabel;

namespace Ui {
class KDAboutWindow;
}

// The About window: the application's name, version, copyright and a link to
// its home page. It relabels itself when the interface language changes.
class KDAboutWindow : public KDWindow {
    Q_OBJECT
public:
    static inline const QString kLangDidChangeNotification = QStringLiteral("notification.lang.appLangDidChange");

    explicit KDAboutWindow(QWidget *parent = nullptr);
    ~KDAboutWindow() override;

    static KDAboutWindow *LoadFromNib(QWidget *parent = nullptr);

    QLabel *mLabelAppName() const;
    QLabel *mLabelVersion() const;
    QLabel *mLabelCopyright() const;
    KDUnderlinedButton *mLbtnHomeLink() const;

    bool canBecomeKeyWindow() const override { return true; }
    void notificationLangDidChange();

public slots:
    void actionForShowProductHomePage(QObject *sender = nullptr);

protected:
    void awakeFromNib() override;

private:
    void hideTitleBarButtons();
    void styleLabels();
    void styleLink();
    void setLinkTitle(const QString &link);

    std::unique_ptr<Ui::KDAboutWindow> ui;
};
