#include "AppDelegate.h"

#include "AppSettings.h"
#include "CommUpdate.h"
#include "NotificationCenter.h"
#include "PDFConvert.h"
#include "VAZevediZeziz.h"

#include <QGuiApplication>

AppDelegate::AppDelegate(QObject *parent) : QObject(parent)
{
    QGuiApplication::setQuitOnLastWindowClosed(applicationShouldTerminateAfterLastWindowClosed());
}

void AppDelegate::applicationDidFinishLaunching()
{
    VAZevediZeziz::initWithCommAppInfo(AppSettings::GetAppInfo(), mWindow);
    CommUpdate::checkSilent(mWindow);
    NotificationCenter::defaultCenter().postNotificationName(MainWindow::kLangDidChangeNotification);
    PDFConvert::clearTokenOnAccountChange(this);
}
