#pragma once

#include <QByteArray>
#include <QString>

// A product's entry in the catalogue resource ":/data/products.json".
class CommProductInfo final {
public:
    QString identify() const { return mIdentify; }
    QString urlHome() const { return mUrlHome; }
    QString copyright() const { return mCopyright; }
    bool isEmpty() const { return mIdentify.isEmpty(); }

    // The entry for a product id and type, with the copyright text of the
    // language (English when the language has none). Empty when the catalogue
    // has no such product of that type.
    static CommProductInfo getInfoWithProductID(qint32 productID, const QString &appLang, const QString &appType);
    static QString getAppIdentifyByID(qint32 productID);

    // The same lookup on a given catalogue text, for tests.
    static CommProductInfo infoFromCatalogue(const QByteArray &json, qint32 productID, const QString &appLang,
                                             const QString &appType);

private:
    QString mIdentify;
    QString mUrlHome;
    QString mCopyright;
};
