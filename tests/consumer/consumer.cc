// A minimal client: one call of each family of libkel_std, checked. Builds as
// C++11 and up, with any compiler, against an installed or in-tree library.
#include <kel_std/kel_std.h>

#include <cstdio>
#include <exception>
#include <sstream>

namespace {

int failures = 0;

void check(bool ok, const char* what) {
    if (!ok) {
        std::printf("FAILED: %s\n", what);
        ++failures;
    }
}

} // namespace

int main() {
    // Tree: a one-node tree, stepped through and emptied again.
    kel_std::kel_tree_node header, nil, node;
    kel_std::kel_tree_aux::init_nil(&nil);
    header.color = kel_std::kel_tree_node::red;
    header.parent = &nil;
    header.left = header.right = &header;
    kel_std::kel_tree_aux::insert(true, 0, &header, &node, header.right, header.left, header.parent, &header, &nil);
    kel_std::kel_tree_node* it = header.left;
    kel_std::kel_tree_aux::increment(it, &nil);
    check(it == &header && header.parent == &node, "tree insert and increment");
    kel_std::kel_tree_aux::erase(&node, header.right, header.left, header.parent, &header, &nil);
    check(header.parent == &nil && header.left == &header, "tree erase");

    // Memory: a zero-filled block from the heap.
    kel_std::allocator<void> a;
    unsigned char* block = static_cast<unsigned char*>(a.allocate(32, 0));
    check(block[0] == 0 && block[31] == 0 && a.max_size() == 4294967295u, "allocator");
    a.deallocate(block);

    // Strings and streams.
    std::istringstream in("  hello world");
    kel_std::string word;
    in >> word;
    std::ostringstream out;
    out << word;
    check(out.str() == "hello", "stream operators");

    // Hashing and random numbers.
    check(kel_std::kel_string_hasher1()(kel_std::string("abc")) == 2043, "hasher");
    kel_std::kel_x_random_generator::seed(1);
    check(kel_std::kel_x_random_generator::rand(1) == 0, "random generator");

    // An error thrown inside the library, caught here as the library's class
    // and as std::exception.
    try {
        kel_std::kel_throw_out_of_range();
        check(false, "kel_throw_out_of_range returned");
    } catch (const kel_std::out_of_range& e) {
        check(std::string(e.what()) == "out of range error", "out_of_range message");
    }
    try {
        kel_std::kel_throw_length_error();
    } catch (const std::exception& e) {
        check(std::string(e.what()) == "length error", "length_error as std::exception");
    }

    if (failures == 0)
        std::printf("consumer OK (C++ %ld)\n", static_cast<long>(__cplusplus));
    return failures == 0 ? 0 : 1;
}
