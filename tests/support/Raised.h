#pragma once
#include "common/Exception.h"

#include <functional>
#include <string>

// The message of the error that `action` raises, or "(nothing raised)".
inline std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& error) {
        return error.Message();
    }
    return "(nothing raised)";
}
