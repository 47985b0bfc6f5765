#include "frameworks/widgets/KDAction.h"

#include <QByteArray>
#include <QMetaMethod>
#include <QMetaObject>
#include <QObject>

bool KDAction::send(QObject *target, const char *action, QObject *sender)
{
    if (!target || !action || !*action)
        return false;
    const QMetaObject *meta = target->metaObject();
    const QByteArray name(action);
    const QByteArray senderSignature = name + QByteArrayLiteral("(QObject*)");
    const int withSender = meta->indexOfMethod(senderSignature.constData());
    if (withSender >= 0)
        return meta->method(withSender).invoke(target, Qt::DirectConnection, Q_ARG(QObject *, sender));
    const QByteArray plainSignature = name + QByteArrayLiteral("()");
    const int withoutSender = meta->indexOfMethod(plainSignature.constData());
    if (withoutSender >= 0)
        return meta->method(withoutSender).invoke(target, Qt::DirectConnection);
    return false;
}
