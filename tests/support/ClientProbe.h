#pragma once

#include "frameworks/DIRADoduredode.h"

#include <QString>
#include <QTest>
#include <QVariant>

#include <atomic>
#include <memory>

// Sends a GET for origin + "/probe" through the client and spins the event
// loop until its reply has been handled; false when none came in time.
//
// The client starts requests and handles replies on its one thread, in
// order. Once the probe is answered, every reply the client had received
// before has been handled, and every request it was given before was handed
// to the network ahead of the probe. Tests use it as the later event after
// which "nothing more happened" can be asserted, instead of sleeping.
inline bool probeClient(DIRADoduredode &client, const QString &origin, int timeoutMs = 15000)
{
    auto answered = std::make_shared<std::atomic<bool>>(false);
    client.GETtWithUrl(origin + QStringLiteral("/probe"), {}, {},
                       [answered](const ToolError &, const QVariant &) { answered->store(true); });
    return QTest::qWaitFor([&answered] { return answered->load(); }, timeoutMs);
}
