#include "app/AppDelegate.h"

#include "convert/PDFConvert.h"
#include "frameworks/NotificationCenter.h"
#include "frameworks/VAZevediZeziz.h"
#include "product/AppSettings.h"
#include "ui/CommUpdate.h"

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
