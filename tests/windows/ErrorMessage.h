#pragma once
// The message of the program's error that an action raises.

#include "engine/Exception.h"

#include <string>

template <typename Action>
std::string MessageOf(Action&& action) {
    try {
        action();
    } catch (const engine::Exception& error) {
        return error.what();
    }
    return "(no exception)";
}
