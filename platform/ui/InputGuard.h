#pragma once

#include <QString>

// While any InputGuard lives, no user input reaches Brindle's windows except
// modal dialogs (the password dialog keeps working): no clicks, keys, wheel,
// drops, shortcuts or close requests. Privileged waits turn the event loop
// (polkit's answer and the authentication agent need it), and without this
// a click could start a second action in the middle of the first.
// Guards nest; the blocked windows show a busy cursor meanwhile.
class InputGuard
{
public:
    InputGuard();
    // reason: what is being waited for; screen readers hear it as the blocked
    // windows' description.
    explicit InputGuard(const QString &reason);
    ~InputGuard();

    InputGuard(const InputGuard &) = delete;
    InputGuard &operator=(const InputGuard &) = delete;

    // True while at least one guard lives.
    static bool active();
};
