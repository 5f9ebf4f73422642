#pragma once
// The harness of the plain C++ tests (no Qt, so they also build for Windows and run under
// Wine): CHECK counts a failed condition and goes on; runTests runs named cases and turns the
// count into the exit code.
#include <cstdio>
#include <exception>
#include <initializer_list>
#include <utility>

namespace plaincheck {

inline int failures = 0;

inline bool check(bool ok, const char* what, int line)
{
    if (!ok) {
        ++failures;
        std::printf("    check failed (line %d): %s\n", line, what);
    }
    return ok;
}

inline int runTests(std::initializer_list<std::pair<const char*, void (*)()>> tests)
{
    int failed = 0;
    for (const auto& [name, run] : tests) {
        const int before = failures;
        try {
            run();
        } catch (const std::exception& e) {
            ++failures;
            std::printf("    exception: %s\n", e.what());
        }
        const bool ok = failures == before;
        std::printf("%s %s\n", ok ? "PASS" : "FAIL", name);
        failed += !ok;
    }
    std::printf("%d of %d failed\n", failed, int(tests.size()));
    return failed == 0 ? 0 : 1;
}

} // namespace plaincheck

#define CHECK(cond) plaincheck::check(static_cast<bool>(cond), #cond, __LINE__)
