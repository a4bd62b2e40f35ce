// The program that tests/check_gdb_printers.sh runs under gdb: strings,
// containers of every kind (empty, small and large), iterators and node
// handles, all in global variables so that gdb finds them in optimised
// builds too. It stops in kel_std_gdb_fixture_ready(), where gdb prints them
// and damages a few on purpose (the process is killed afterwards, so nothing
// runs over the damage). Run on its own, it builds everything and exits.
#include <kel_std/basic_string.h>
#include <kel_std/map.h>
#include <kel_std/set.h>
#include <kel_std/unordered_map.h>
#include <kel_std/unordered_set.h>

#include <functional>
#include <memory>
#include <utility>

// A value type stricter aligned than the tree's links, so that its place in
// the node is not right behind them.
struct alignas(64) wide {
    int v;
};
struct wide_less {
    bool operator()(const wide& a, const wide& b) const { return a.v < b.v; }
};

typedef kel_std::map<int, kel_std::string> int_text_map;

// ---- strings ----
kel_std::string no_buffer;   // never assigned: no buffer
kel_std::string empty_text;  // a buffer, no text
kel_std::string text;        // "hello, world"
kel_std::string with_nuls;   // NULs inside and at the end
kel_std::string long_text;   // longer than gdb shows by default
kel_std::string broken_text; // damaged by the test
kel_std::string::iterator text_world, text_end, null_string_iterator;
kel_std::string::const_iterator text_const_begin;

// ---- ordered containers ----
kel_std::set<int> empty_set, small_set, large_set, cleared_set;
kel_std::multiset<int> empty_multiset, small_multiset, large_multiset;
int_text_map empty_map, small_map;
kel_std::map<int, int> large_map;
kel_std::map<int, int, std::greater<int>, std::allocator<std::pair<const int, int>>> descending_map;
kel_std::multimap<kel_std::string, int> empty_multimap, small_multimap, large_multimap;
kel_std::map<kel_std::string, kel_std::set<int>> nested_map;
kel_std::set<wide, wide_less, std::allocator<wide>> wide_set;
kel_std::set<char> char_set;

kel_std::set<int>::iterator set_found, set_end, empty_set_end, cleared_set_end, null_set_iterator;
kel_std::set<int>::const_iterator set_const_begin;
int_text_map::iterator map_found, map_end;
int_text_map::const_iterator map_const_found;
kel_std::multimap<kel_std::string, int>::iterator multimap_found;
kel_std::set<wide, wide_less, std::allocator<wide>>::iterator wide_found;

kel_std::set<int>::node_type set_node, empty_set_node;
int_text_map::node_type map_node;
int_text_map::insert_return_type refused_insert;

// ---- hashed containers ----
kel_std::unordered_set<int> empty_uset, small_uset, large_uset;
kel_std::unordered_multiset<int> small_umultiset;
typedef kel_std::unordered_map<int, kel_std::string> int_text_umap;
int_text_umap empty_umap, small_umap;
kel_std::unordered_multimap<kel_std::string, int> small_umultimap;
kel_std::unordered_set<int>::iterator uset_found, uset_end, null_uset_iterator;
int_text_umap::iterator umap_found;
int_text_umap::const_iterator umap_const_found;
int_text_umap::local_iterator umap_bucket_of_two, umap_bucket_end;
int_text_umap::node_type umap_node;

// ---- damaged by the test ----
kel_std::unordered_set<int> cycle_uset, short_uset;
kel_std::unordered_set<int>::iterator cycle_uset_at;
kel_std::set<int> cycle_set, ring_set, wild_set, short_set;
kel_std::set<int>::iterator cycle_from, cycle_to, ring_last, ring_first, wild_at;
int_text_map loop_map;
int_text_map::iterator loop_at;

extern "C" __attribute__((noinline)) void kel_std_gdb_fixture_ready() {
    // The memory clobber keeps the stores above the call in place.
    __asm__ volatile("" : : : "memory");
}

int main() {
    empty_text = "";
    text = "hello, world";
    with_nuls.assign("a\0b\0\0", 5);
    for (int i = 0; i < 30; ++i)
        long_text += "0123456789";
    broken_text = "broken";
    text_world = text.begin() + 7;
    text_end = text.end();
    text_const_begin = text.cbegin();

    small_set = {3, 1, 2};
    cleared_set = {1, 2};
    cleared_set.clear(); // empty, but with a sentinel
    small_multiset = {2, 1, 2, 2};
    small_map = {{1, "one"}, {2, "two"}, {3, "three"}};
    small_multimap = {{"b", 3}, {"a", 1}, {"a", 2}};
    descending_map = {{1, 1}, {3, 9}, {2, 4}};
    nested_map["odd"] = {1, 3};
    nested_map["even"] = {2};
    wide_set = {wide{2}, wide{1}};
    char_set = {'k', 'e', 'l'};
    for (int i = 0; i < 1000; ++i) {
        large_set.insert(i);
        large_multiset.insert(i / 2);
        large_map[i] = i * i;
        kel_std::string key = "key ";
        key += static_cast<char>('a' + i % 26);
        large_multimap.emplace(key, i);
    }

    set_found = small_set.find(2);
    set_end = small_set.end();
    empty_set_end = empty_set.end();
    cleared_set_end = cleared_set.end();
    set_const_begin = small_set.cbegin();
    map_found = small_map.find(2);
    map_end = small_map.end();
    map_const_found = small_map.find(3);
    multimap_found = small_multimap.find("b");
    wide_found = wide_set.find(wide{2});

    int_text_map spare = {{4, "four"}, {1, "uno"}};
    set_node = large_set.extract(999);
    map_node = spare.extract(4);
    refused_insert = small_map.insert(spare.extract(1)); // key 1 is taken: the node comes back

    small_uset = {3, 1, 2};
    small_umultiset = {2, 1, 2, 2};
    small_umap = {{1, "one"}, {2, "two"}, {3, "three"}};
    small_umultimap = {{"b", 3}, {"a", 1}, {"a", 2}};
    for (int i = 0; i < 1000; ++i)
        large_uset.insert(i);
    uset_found = small_uset.find(2);
    uset_end = small_uset.end();
    umap_found = small_umap.find(2);
    umap_const_found = small_umap.find(3);
    umap_bucket_of_two = small_umap.begin(small_umap.bucket(2));
    umap_bucket_end = small_umap.end(small_umap.bucket(2));
    int_text_umap spare_umap = {{4, "four"}};
    umap_node = spare_umap.extract(4);
    cycle_uset = {0, 1, 2, 3, 4, 5, 6};
    cycle_uset_at = cycle_uset.find(3);
    short_uset = {0, 1, 2, 3, 4};

    cycle_set = {0, 1, 2, 3, 4, 5, 6};
    cycle_from = cycle_set.find(2);
    cycle_to = cycle_set.find(0);
    ring_set = {0, 1, 2, 3, 4};
    ring_last = ring_set.find(4);
    ring_first = ring_set.begin();
    wild_set = {0, 1, 2, 3, 4};
    wild_at = wild_set.find(1);
    short_set = {0, 1, 2, 3, 4};
    for (int i = 0; i < 8; ++i)
        loop_map[i] = "x";
    // The first node reached by the descent after the root: its left link,
    // pointed at itself, makes that descent endless.
    loop_at = loop_map.find(loop_map.begin()->first);
    {
        kel_std::kel_tree_node* root = loop_at.node_;
        while (root->parent->parent != root)
            root = root->parent;
        kel_std::kel_tree_node* x = root->right;
        while (x->left != loop_at.nil_)
            x = x->left;
        loop_at.node_ = x;
    }

    kel_std_gdb_fixture_ready();
    return 0;
}
