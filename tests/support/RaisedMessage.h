#pragma once

#include "data/Errors.h"

#include <QString>

// The message of the program error an action raised, or an empty string when it raised
// none. Anything that is not a VardometerError escapes and fails the test loudly.
template <typename Action> QString raisedMessage(Action&& action)
{
    try {
        action();
    } catch (const VardometerError& e) {
        return e.message();
    }
    return {};
}
