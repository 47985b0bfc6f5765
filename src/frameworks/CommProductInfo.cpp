#include "frameworks/CommProductInfo.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QByteArray catalogue()
{
    static const QByteArray bytes = [] {
        QFile file(QStringLiteral(":/data/products.json"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return bytes;
}

QJsonObject productEntry(const QByteArray &json, qint32 productID)
{
    const QJsonObject products = QJsonDocument::fromJson(json).object().value(QLatin1String("products")).toObject();
    return products.value(QString::number(productID)).toObject();
}

} // namespace

CommProductInfo CommProductInfo::getInfoWithProductID(qint32 productID, const QString &appLang, const QString &appType)
{
    return infoFromCatalogue(catalogue(), productID, appLang, appType);
}

QString CommProductInfo::getAppIdentifyByID(qint32 productID)
{
    return productEntry(catalogue(), productID).value(QLatin1String("identify")).toString();
}

CommProductInfo CommProductInfo::infoFromCatalogue(const QByteArray &json, qint32 productID, const QString &appLang,
                                                   const QString &appType)
{
    const QJsonObject entry = productEntry(json, productID);
    if (entry.isEmpty() || entry.value(QLatin1String("appType")).toString() != appType)
        return {};
    const QJsonObject copyrights = entry.value(QLatin1String("copyright")).toObject();
    CommProductInfo info;
    info.mIdentify = entry.value(QLatin1String("identify")).toString();
    info.mUrlHome = entry.value(QLatin1String("urlHome")).toString();
    info.mCopyright = copyrights.value(appLang).toString(copyrights.value(QLatin1String("English")).toString());
    return info;
}
