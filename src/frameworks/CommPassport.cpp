#include "frameworks/CommPassport.h"

#include "frameworks/NotificationCenter.h"
#include "frameworks/SecretStore.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>

#include <optional>

namespace {

const QString kIdentityKey = QStringLiteral("identity_token");
const QString kApiKey = QStringLiteral("api_token");

struct PassportState {
    QMutex mutex;
    std::optional<QString> identityToken;
    std::optional<QString> apiToken;
    QString processIdentityToken;
};

PassportState &state()
{
    static PassportState s;
    return s;
}

SecretStore store()
{
    return SecretStore(QStringLiteral("Mirelune PDF Converter"), CommPassport::fallbackFolder());
}

// The keyring is read without holding the lock: its job runs a nested event
// loop, which may call back into this class.
QString cachedRead(std::optional<QString> PassportState::*slot, const QString &key)
{
    {
        QMutexLocker lock(&state().mutex);
        if (state().*slot)
            return *(state().*slot);
    }
    const QString value = store().read(key);
    QMutexLocker lock(&state().mutex);
    if (!(state().*slot))
        state().*slot = value;
    return *(state().*slot);
}

void postUpdate()
{
    NotificationCenter::defaultCenter().postNotificationName(CommPassport::kPassportDidUpdate);
}

} // namespace

QString CommPassport::identityToken()
{
    {
        QMutexLocker lock(&state().mutex);
        if (!state().processIdentityToken.isEmpty())
            return state().processIdentityToken;
    }
    return storedIdentityToken();
}

QString CommPassport::storedIdentityToken()
{
    return cachedRead(&PassportState::identityToken, kIdentityKey);
}

QString CommPassport::apiToken()
{
    return cachedRead(&PassportState::apiToken, kApiKey);
}

bool CommPassport::isSignedIn()
{
    return !identityToken().isEmpty();
}

bool CommPassport::signInWithIdentityToken(const QString &identityToken)
{
    const QString token = identityToken.trimmed();
    if (token.isEmpty())
        return false;
    const bool stored = store().write(kIdentityKey, token);
    if (stored) {
        QMutexLocker lock(&state().mutex);
        state().identityToken = token;
    }
    if (stored)
        postUpdate();
    return stored;
}

void CommPassport::signOut()
{
    store().remove(kIdentityKey);
    store().remove(kApiKey);
    {
        QMutexLocker lock(&state().mutex);
        state().identityToken = QString();
        state().apiToken = QString();
    }
    postUpdate();
}

bool CommPassport::setApiToken(const QString &apiToken)
{
    const bool stored = apiToken.isEmpty() ? (store().remove(kApiKey), true) : store().write(kApiKey, apiToken);
    QMutexLocker lock(&state().mutex);
    if (stored)
        state().apiToken = apiToken;
    return stored;
}

void CommPassport::setProcessIdentityToken(const QString &identityToken)
{
    {
        QMutexLocker lock(&state().mutex);
        if (state().processIdentityToken == identityToken)
            return;
        state().processIdentityToken = identityToken;
    }
    postUpdate();
}

QString CommPassport::fallbackFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Mirelune/account");
}

void CommPassport::resetCache()
{
    QMutexLocker lock(&state().mutex);
    state().identityToken.reset();
    state().apiToken.reset();
}
