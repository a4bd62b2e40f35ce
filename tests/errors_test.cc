// Tests of the error classes and the throw functions: the catch matrix across
// the shared-library boundary, messages and their buffers, copies, and
// failure at every allocation point.
#include "support/counting_heap.h"
#include "support/recording_manager.h"

#include <kel_std/errors.h>

#include <gtest/gtest.h>

#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <type_traits>

using kel_std::allocator;
using kel_std::kel_throw_length_error;
using kel_std::kel_throw_out_of_range;
using kel_test::heap_watch;
using kel_test::recording_manager;
typedef kel_std::string kstring;

static_assert(std::is_base_of<std::exception, kel_std::logic_error>::value, "logic_error is a std::exception");
static_assert(std::is_base_of<kel_std::logic_error, kel_std::length_error>::value, "length_error is a logic_error");
static_assert(std::is_base_of<kel_std::logic_error, kel_std::out_of_range>::value, "out_of_range is a logic_error");
static_assert(!std::is_base_of<std::logic_error, kel_std::logic_error>::value, "not the standard logic_error");
static_assert(!std::is_base_of<std::length_error, kel_std::length_error>::value, "not the standard length_error");
static_assert(!std::is_base_of<std::out_of_range, kel_std::out_of_range>::value, "not the standard out_of_range");
static_assert(sizeof(kel_std::logic_error) == sizeof(void*) + sizeof(kstring), "vtable pointer, then the message");
static_assert(sizeof(kel_std::length_error) == sizeof(kel_std::logic_error), "children add no data");
static_assert(sizeof(kel_std::out_of_range) == sizeof(kel_std::logic_error), "children add no data");
static_assert(std::has_virtual_destructor<kel_std::logic_error>::value, "virtual destructor");

// Catching by value is what these tests are about.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wcatch-value"
#endif

namespace {

// Whether the error thrown by `raise` is caught by a handler for `Handler`.
template <class Handler>
bool caught_as(void (*raise)()) {
    try {
        raise();
    } catch (Handler) {
        return true;
    } catch (...) {
        return false;
    }
    return false;
}

} // namespace

TEST(errors, out_of_range_catch_matrix) {
    EXPECT_TRUE(caught_as<const kel_std::out_of_range&>(kel_throw_out_of_range));
    EXPECT_TRUE(caught_as<const kel_std::logic_error&>(kel_throw_out_of_range));
    EXPECT_TRUE(caught_as<const std::exception&>(kel_throw_out_of_range));
    EXPECT_TRUE(caught_as<kel_std::out_of_range>(kel_throw_out_of_range));
    EXPECT_TRUE(caught_as<kel_std::logic_error>(kel_throw_out_of_range));
    EXPECT_FALSE(caught_as<const kel_std::length_error&>(kel_throw_out_of_range));
    EXPECT_FALSE(caught_as<const std::logic_error&>(kel_throw_out_of_range));
    EXPECT_FALSE(caught_as<const std::out_of_range&>(kel_throw_out_of_range));
    EXPECT_FALSE(caught_as<const std::length_error&>(kel_throw_out_of_range));
}

TEST(errors, length_error_catch_matrix) {
    EXPECT_TRUE(caught_as<const kel_std::length_error&>(kel_throw_length_error));
    EXPECT_TRUE(caught_as<const kel_std::logic_error&>(kel_throw_length_error));
    EXPECT_TRUE(caught_as<const std::exception&>(kel_throw_length_error));
    EXPECT_TRUE(caught_as<kel_std::length_error>(kel_throw_length_error));
    EXPECT_TRUE(caught_as<kel_std::logic_error>(kel_throw_length_error));
    EXPECT_FALSE(caught_as<const kel_std::out_of_range&>(kel_throw_length_error));
    EXPECT_FALSE(caught_as<const std::logic_error&>(kel_throw_length_error));
    EXPECT_FALSE(caught_as<const std::length_error&>(kel_throw_length_error));
    EXPECT_FALSE(caught_as<const std::out_of_range&>(kel_throw_length_error));
}

TEST(errors, messages_are_fixed_texts_in_buffers_of_their_own) {
    try {
        kel_throw_out_of_range();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "out of range error");
        EXPECT_EQ(std::strlen(e.what()), 18u);
        const kel_std::logic_error& le = dynamic_cast<const kel_std::logic_error&>(e);
        EXPECT_EQ(le.message.length, 18u);
        EXPECT_EQ(le.message.capacity, 32u);
        EXPECT_EQ(le.what(), le.message.data);
        EXPECT_EQ(le.message.alloc.manager, nullptr);
    }
    try {
        kel_throw_length_error();
    } catch (const kel_std::logic_error& e) {
        EXPECT_STREQ(e.what(), "length error");
        EXPECT_EQ(e.message.length, 12u);
        EXPECT_EQ(e.message.capacity, 16u);
        EXPECT_EQ(typeid(e), typeid(kel_std::length_error));
    }
}

TEST(errors, throw_functions_use_two_heap_buffers_and_release_the_temporary) {
    heap_watch heap;
    try {
        kel_throw_length_error();
    } catch (const kel_std::length_error& e) {
        EXPECT_EQ(heap.news(), 2) << "the temporary text and the error's own message";
        EXPECT_EQ(heap.deletes(), 1) << "the temporary is gone by the time the handler runs";
        EXPECT_EQ(heap.nth_new(0).size, 16u);
        EXPECT_EQ(heap.nth_new(1).size, 16u);
        EXPECT_EQ(e.message.data, heap.nth_new(1).pointer);
    }
    EXPECT_EQ(heap.news(), heap.deletes()) << "the exception object released its message";
}

TEST(errors, catch_by_value_copies_with_a_buffer_of_its_own) {
    heap_watch heap;
    try {
        kel_throw_length_error();
    } catch (kel_std::logic_error copy) {
        EXPECT_EQ(typeid(copy), typeid(kel_std::logic_error)) << "sliced to the handler's class";
        EXPECT_STREQ(copy.what(), "length error");
        EXPECT_EQ(heap.news(), 3);
        EXPECT_EQ(copy.message.data, heap.nth_new(2).pointer);
    }
    EXPECT_EQ(heap.news(), heap.deletes());
}

TEST(errors, copies_are_independent_of_the_original) {
    kel_std::out_of_range* original = new kel_std::out_of_range(kstring("first"));
    kel_std::out_of_range copy(*original);
    EXPECT_NE(copy.what(), original->what());
    EXPECT_STREQ(copy.what(), "first");
    delete original;
    EXPECT_STREQ(copy.what(), "first");

    kel_std::out_of_range assigned(kstring("other"));
    assigned = copy;
    EXPECT_STREQ(assigned.what(), "first");
    EXPECT_NE(assigned.what(), copy.what());
}

TEST(errors, message_always_comes_from_the_heap_never_the_manager) {
    recording_manager m;
    kstring text("managed text", allocator<char>(&m));
    m.calls.clear();
    heap_watch heap;
    kel_std::length_error e(text);
    EXPECT_TRUE(m.calls.empty());
    EXPECT_EQ(heap.news(), 1);
    EXPECT_EQ(heap.event(0).size, 16u);
    EXPECT_EQ(e.message.alloc.manager, nullptr);
    EXPECT_STREQ(e.what(), "managed text");
}

TEST(errors, error_from_a_bufferless_string_gets_an_empty_buffer_of_its_own) {
    const kstring none;
    kel_std::logic_error e(none);
    EXPECT_EQ(e.message.capacity, 16u);
    EXPECT_EQ(e.message.length, 0u);
    EXPECT_STREQ(e.what(), "");
    EXPECT_EQ(e.what(), e.message.data);
    EXPECT_NE(e.what(), none.c_str()) << "not the shared empty text";
}

TEST(errors, text_with_a_nul_keeps_all_characters) {
    kel_std::out_of_range e(kstring("ab\0cd", 5));
    EXPECT_EQ(e.message.length, 5u);
    EXPECT_EQ(std::string(e.message.data, 5), std::string("ab\0cd", 5));
    EXPECT_STREQ(e.what(), "ab");
}

TEST(errors, failed_construction_leaks_nothing) {
    const kstring text("some text");
    {
        heap_watch heap;
        heap.fail_new_at(1);
        EXPECT_THROW(kel_std::logic_error e(text), std::bad_alloc);
        EXPECT_EQ(heap.news(), 0);
    }
    kel_std::logic_error original(text);
    heap_watch heap;
    heap.fail_new_at(1);
    EXPECT_THROW(kel_std::logic_error copy(original), std::bad_alloc);
    EXPECT_EQ(heap.news(), heap.deletes());
}

TEST(errors, throw_function_failing_at_each_allocation_ends_with_that_failure) {
    void (*const functions[])() = {kel_throw_length_error, kel_throw_out_of_range};
    for (auto raise : functions) {
        for (int k = 1; k <= 2; ++k) {
            heap_watch heap;
            heap.fail_new_at(k);
            EXPECT_THROW(raise(), std::bad_alloc) << "failing allocation " << k;
            EXPECT_EQ(heap.news(), k - 1);
            EXPECT_EQ(heap.deletes(), heap.news()) << "the temporary is released on the way out";
        }
    }
}
