#include "store/DatabaseUrl.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace {

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

// Keys and values reach the driver's "key=value;..." string: nothing there may
// end a pair early or start a new one.
bool plainOption(const QString &key, const QString &value)
{
    static const QRegularExpression keyPattern(QStringLiteral("^[a-z_]{1,40}$"));
    static const QRegularExpression valuePattern(QStringLiteral("^[A-Za-z0-9_./:+-]{1,200}$"));
    return keyPattern.match(key).hasMatch() && valuePattern.match(value).hasMatch();
}

} // namespace

DatabaseUrl DatabaseUrl::sqlite(const QString &path)
{
    DatabaseUrl url;
    url.mPath = path;
    return url;
}

std::optional<DatabaseUrl> DatabaseUrl::parse(const QString &text, QString *error)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres"))) {
        fail(error, QStringLiteral("not a postgresql://USER@HOST[:PORT]/DB URL"));
        return std::nullopt;
    }
    DatabaseUrl parsed;
    parsed.mBackend = Backend::PostgreSQL;
    parsed.mUser = url.userName(QUrl::FullyDecoded);
    parsed.mPassword = url.password(QUrl::FullyDecoded);
    parsed.mHost = url.host(QUrl::FullyDecoded);
    parsed.mPort = url.port(5432);
    parsed.mDatabase = url.path(QUrl::FullyDecoded).mid(1);
    if (parsed.mUser.isEmpty() || parsed.mHost.isEmpty() || parsed.mDatabase.isEmpty() ||
        parsed.mDatabase.contains(QLatin1Char('/')) || !url.fragment().isEmpty() || parsed.mPort <= 0) {
        fail(error,
             QStringLiteral("a database URL needs a user, a host and a database name: %1").arg(parsed.displayName()));
        return std::nullopt;
    }
    QStringList options;
    const auto items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    for (const auto &[key, value] : items) {
        if (!plainOption(key, value)) {
            fail(error, QStringLiteral("unsupported database URL option: %1").arg(key.left(40)));
            return std::nullopt;
        }
        options << key + QLatin1Char('=') + value;
    }
    parsed.mOptions = options.join(QLatin1Char(';'));
    return parsed;
}

QString DatabaseUrl::displayName() const
{
    if (mBackend == Backend::SQLite)
        return mPath;
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setUserName(mUser);
    url.setHost(mHost);
    url.setPort(mPort);
    url.setPath(QLatin1Char('/') + mDatabase);
    return url.toString();
}
