#pragma once

// Helpers shared by the project style tests.

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace styletest {

inline bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The text of the exception of type E that the call throws; a test failure when it throws nothing or
// something else.
template <class E>
std::string thrownText(const std::function<void()>& call)
{
    try {
        call();
    } catch (const E& error) {
        return error.what();
    } catch (const std::exception& other) {
        ADD_FAILURE() << "threw another error: " << other.what();
        return {};
    }
    ADD_FAILURE() << "threw nothing";
    return {};
}

} // namespace styletest
