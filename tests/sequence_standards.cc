// Every member of the sequence containers, instantiated in a program that is
// built as C++11, C++14 and C++20 with the library's strict warnings (the
// unit tests are C++17); building it is most of the test.
//
// Each container adds its part in the marked place below: its header above,
// and an explicit instantiation of the container (which instantiates every
// member) with a few checks of results in main().
#include <cstdio>

// ---- The containers' headers ----

// ---- Explicit instantiations ----

int main() {
    int failures = 0;
    // ---- Checks of results ----
    if (failures != 0)
        std::printf("%d checks failed\n", failures);
    return failures == 0 ? 0 : 1;
}
