// What may run on several threads at once, done at once: navigation over one
// shared tree, hashing and reading shared strings (strings without a buffer,
// which share the empty text, included), the throw functions, and
// allocations from the global heap. Every thread checks its results against
// values computed beforehand on one thread; built with ThreadSanitizer
// (KEL_STD_SANITIZE=thread), the run must also be free of data races.
#include "support/tree_harness.h"

#include <kel_std/allocator.h>
#include <kel_std/basic_string.h>
#include <kel_std/errors.h>
#include <kel_std/map.h>
#include <kel_std/set.h>
#include <kel_std/string_hash.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

using kel_std::kel_tree_aux;
using kel_std::kel_tree_node;
typedef kel_std::string kstring;

namespace {

const int thread_count = 4;

// Failed checks per activity, summed over the threads.
struct failures {
    std::atomic<int> navigation{0}, hashing{0}, reading{0}, errors{0}, allocation{0};
};

struct hashes {
    int h1, h2, h3;
};

hashes hash_all(const kstring& s) {
    return {kel_std::kel_string_hasher1()(s), kel_std::kel_string_hasher2(1000)(s), kel_std::kel_string_hasher3()(s)};
}

} // namespace

TEST(concurrency, navigation_hashing_reading_errors_and_heap_allocation_run_on_many_threads_at_once) {
    // One shared tree, with duplicates, and what every walk must find.
    kel_test::int_tree tree;
    std::mt19937 rng(6);
    for (int i = 0; i < 300; ++i)
        tree.insert(static_cast<int>(rng() % 200));
    const std::vector<kel_tree_node*> order = tree.nodes_in_order();
    std::vector<int> keys;
    for (kel_tree_node* x : order)
        keys.push_back(kel_test::key_of(x));
    std::vector<kel_tree_node*> subtree_min, subtree_max;
    for (kel_tree_node* x : order) {
        subtree_min.push_back(kel_tree_aux::minimum(x, &tree.header, &tree.nil));
        subtree_max.push_back(kel_tree_aux::maximum(x, &tree.header, &tree.nil));
    }

    // Shared strings: without a buffer, empty with one, with NULs inside,
    // with the top bit set, and long.
    std::vector<kstring> strings(3);
    strings.emplace_back("", 0u);
    strings.emplace_back("ab\0cd", 5u);
    strings.emplace_back("\xff\x80 top bit");
    strings.emplace_back(std::string(300, 'q').c_str());
    std::vector<hashes> expected_hashes;
    for (const kstring& s : strings)
        expected_hashes.push_back(hash_all(s));
    const char* const empty_text = strings[0].c_str();

    failures failed;
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < thread_count; ++t) {
        threads.emplace_back([&, t] {
            // Start together, so that the activities overlap.
            ready.fetch_add(1);
            while (ready.load() < thread_count)
                std::this_thread::yield();
            for (int round = 0; round < 100; ++round) {
                // Forward and backward walks, and the extremes of every subtree.
                kel_tree_node* it = tree.header.left;
                for (kel_tree_node* x : order) {
                    failed.navigation += it != x;
                    kel_tree_aux::increment(it, &tree.nil);
                }
                failed.navigation += it != &tree.header;
                for (std::size_t i = order.size(); i-- > 0;) {
                    kel_tree_aux::decrement(it, &tree.nil);
                    failed.navigation += it != order[i];
                }
                for (std::size_t i = (round + t) % 7; i < order.size(); i += 7) {
                    failed.navigation += kel_tree_aux::minimum(order[i], &tree.header, &tree.nil) != subtree_min[i];
                    failed.navigation += kel_tree_aux::maximum(order[i], &tree.header, &tree.nil) != subtree_max[i];
                }

                for (std::size_t i = 0; i < strings.size(); ++i) {
                    const hashes h = hash_all(strings[i]);
                    failed.hashing +=
                        h.h1 != expected_hashes[i].h1 || h.h2 != expected_hashes[i].h2 || h.h3 != expected_hashes[i].h3;
                    const char* text = strings[i].c_str();
                    failed.reading += text == nullptr || (strings[i].data == nullptr) != (text == empty_text);
                    failed.reading += std::strlen(text) > strings[i].length;
                }
                // A string of this thread's own, without a buffer, reads the
                // same shared empty text.
                const kstring own;
                failed.reading += own.c_str() != empty_text || *own.c_str() != '\0';

                try {
                    kel_std::kel_throw_out_of_range();
                } catch (const kel_std::out_of_range& e) {
                    failed.errors += std::strcmp(e.what(), "out of range error") != 0;
                }
                try {
                    kel_std::kel_throw_length_error();
                } catch (const kel_std::logic_error& e) {
                    failed.errors += std::strcmp(e.what(), "length error") != 0;
                }

                kel_std::allocator<void> heap;
                const unsigned int size = 16u * static_cast<unsigned int>(1 + (round + t) % 9);
                unsigned char* block = static_cast<unsigned char*>(heap.allocate(size, &heap));
                for (unsigned int i = 0; i < size; ++i)
                    failed.allocation += block[i] != 0;
                std::memset(block, 0xEE, size);
                heap.deallocate(block);
                kstring grown;
                for (unsigned int n = 0; n < 70; n += 7)
                    grown.assign(std::string(n, static_cast<char>('a' + t)).c_str(), n);
                failed.allocation += grown.length != 63 || grown.capacity != 64;
            }
        });
    }
    for (std::thread& th : threads)
        th.join();

    EXPECT_EQ(failed.navigation.load(), 0);
    EXPECT_EQ(failed.hashing.load(), 0);
    EXPECT_EQ(failed.reading.load(), 0);
    EXPECT_EQ(failed.errors.load(), 0);
    EXPECT_EQ(failed.allocation.load(), 0);
    EXPECT_EQ(kel_test::check_tree(tree, keys), "") << "navigation wrote nothing";
}

TEST(concurrency, distinct_containers_are_modified_on_many_threads_while_others_share_one_for_reading) {
    // One container that every thread reads, and what the reads must find.
    kel_std::multimap<int, int> shared;
    std::multimap<int, int> shared_model;
    std::mt19937 rng(11);
    for (int i = 0; i < 500; ++i) {
        const int k = static_cast<int>(rng() % 100);
        shared.emplace(k, i);
        shared_model.emplace(k, i);
    }
    const std::vector<std::pair<const int, int>> in_order(shared_model.begin(), shared_model.end());

    std::atomic<int> failed_reads{0}, failed_writes{0};
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < thread_count; ++t) {
        threads.emplace_back([&, t] {
            ready.fetch_add(1);
            while (ready.load() < thread_count)
                std::this_thread::yield();
            // Each thread's own containers, each with its own sentinel: the
            // erasures write the sentinels at the same time on all threads.
            kel_std::map<int, int> own;
            kel_std::set<int> keys;
            std::map<int, int> model;
            std::mt19937 local(static_cast<unsigned>(100 + t));
            for (int round = 0; round < 40; ++round) {
                for (int i = 0; i < 200; ++i) {
                    const int k = static_cast<int>(local() % 300);
                    if (local() % 3 == 0) {
                        failed_writes += own.erase(k) != model.erase(k);
                        keys.erase(k);
                    } else {
                        own[k] = i;
                        model[k] = i;
                        keys.insert(k);
                    }
                }
                failed_writes += own.size() != model.size() || keys.size() != model.size() ||
                                 !std::equal(own.begin(), own.end(), model.begin());

                const kel_std::multimap<int, int>& view = shared;
                std::size_t i = 0;
                for (auto it = view.begin(); it != view.end(); ++it, ++i)
                    failed_reads += *it != in_order[i];
                for (auto it = view.rbegin(); it != view.rend(); ++it)
                    failed_reads += *it != in_order[--i];
                const int k = (round * 7 + t) % 100;
                const auto range = view.equal_range(k);
                failed_reads +=
                    static_cast<std::size_t>(std::distance(range.first, range.second)) != shared_model.count(k);
                failed_reads += view.contains(k) != (shared_model.count(k) != 0);
            }
        });
    }
    for (std::thread& th : threads)
        th.join();
    EXPECT_EQ(failed_reads.load(), 0);
    EXPECT_EQ(failed_writes.load(), 0);
    EXPECT_TRUE(std::equal(shared.begin(), shared.end(), shared_model.begin()));
}
