#pragma once

class QObject;

// Target–action dispatch by method name. An action is an invokable method of
// the target (a slot) taking the sender as `QObject *`, or taking nothing.
class KDAction final {
public:
    KDAction() = delete;

    // Calls target->action(sender), or target->action() when only that form
    // exists. False when target is null or has neither.
    static bool send(QObject *target, const char *action, QObject *sender);
};
