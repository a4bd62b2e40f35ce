// The program that tests/check_gdb_printers.sh runs under gdb: strings,
// containers and adaptors of every kind (empty, small and large), iterators
// and node handles, all in global variables so that gdb finds them in
// optimised builds too. It stops in kel_std_gdb_fixture_ready(), where gdb
// prints them and damages a few on purpose (the process is killed
// afterwards, so nothing runs over the damage). Run on its own, it builds
// everything and exits.
#include <kel_std/basic_string.h>
#include <kel_std/deque.h>
#include <kel_std/forward_list.h>
#include <kel_std/list.h>
#include <kel_std/map.h>
#include <kel_std/queue.h>
#include <kel_std/set.h>
#include <kel_std/stack.h>
#include <kel_std/unordered_map.h>
#include <kel_std/unordered_set.h>
#include <kel_std/vector.h>

#include <functional>
#include <iterator>
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

// ---- sequence containers and adaptors ----
kel_std::vector<int> empty_vector, small_vector, large_vector;
kel_std::vector<kel_std::string> text_vector;
kel_std::vector<kel_std::vector<int>> nested_vector;
kel_std::vector<int>::iterator vector_at, null_vector_iterator;
kel_std::vector<int>::const_iterator vector_const_begin;
kel_std::vector<kel_std::vector<int>>::iterator nested_vector_at;
kel_std::deque<int> empty_deque, cleared_deque, small_deque, large_deque;
kel_std::deque<wide> wide_deque;
kel_std::deque<int>::iterator deque_at, null_deque_iterator;
kel_std::deque<int>::const_iterator deque_const_begin;
kel_std::list<int> empty_list, small_list;
kel_std::list<kel_std::string> text_list;
kel_std::list<int>::iterator list_at, list_end, empty_list_end, null_list_iterator;
kel_std::list<kel_std::string>::const_iterator text_list_at;
kel_std::forward_list<int> empty_flist, small_flist;
kel_std::forward_list<int>::iterator flist_at, flist_end;
kel_std::forward_list<int>::const_iterator flist_const_begin;
kel_std::stack<int> empty_stack, small_stack;
kel_std::stack<int, kel_std::vector<int>> vector_stack;
kel_std::queue<int> small_queue;
kel_std::queue<int, kel_std::list<int>> list_queue;
kel_std::priority_queue<int> small_pqueue;

// ---- damaged by the test ----
kel_std::unordered_set<int> cycle_uset, short_uset;
kel_std::unordered_set<int>::iterator cycle_uset_at;
kel_std::set<int> cycle_set, ring_set, wild_set, short_set;
kel_std::set<int>::iterator cycle_from, cycle_to, ring_last, ring_first, wild_at;
int_text_map loop_map;
int_text_map::iterator loop_at;
kel_std::vector<int> broken_vector;
kel_std::deque<int> broken_deque;
kel_std::list<int> cycle_list, short_list;
kel_std::list<int>::iterator cycle_list_from, cycle_list_to, short_list_last;
kel_std::forward_list<int> cycle_flist;
kel_std::forward_list<int>::iterator cycle_flist_from, cycle_flist_to;

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

    small_vector = {1, 2, 3};
    for (int i = 0; i < 1000; ++i)
        large_vector.push_back(i);
    text_vector = {"one", "two"};
    nested_vector = {{1}, {}, {2, 3}};
    vector_at = small_vector.begin() + 1;
    vector_const_begin = small_vector.cbegin();
    nested_vector_at = nested_vector.end() - 1;

    cleared_deque = {1, 2};
    cleared_deque.clear(); // empty, but with a map and a block
    // Pushed at both ends, so that the elements span two blocks.
    for (int i = 3; i < 6; ++i)
        small_deque.push_back(i);
    for (int i = 2; i >= 0; --i)
        small_deque.push_front(i);
    for (int i = 0; i < 3000; ++i)
        large_deque.push_back(i);
    for (int i = 0; i < 70; ++i) // 64 to a block
        wide_deque.push_back(wide{i});
    deque_at = small_deque.begin() + 3;
    deque_const_begin = small_deque.cbegin();

    small_list = {1, 2, 3};
    text_list = {"one", "two"};
    list_at = std::next(small_list.begin());
    list_end = small_list.end();
    empty_list_end = empty_list.end();
    text_list_at = text_list.cbegin();
    small_flist = {1, 2, 3};
    flist_at = std::next(small_flist.begin(), 2);
    flist_end = small_flist.end();
    flist_const_begin = small_flist.cbegin();

    for (int i = 1; i < 4; ++i) {
        small_stack.push(i);
        vector_stack.push(i);
        small_queue.push(i);
        list_queue.push(i);
        small_pqueue.push(i);
    }

    broken_vector = {0, 1, 2};
    for (int i = 3; i < 6; ++i)
        broken_deque.push_back(i);
    for (int i = 2; i >= 0; --i)
        broken_deque.push_front(i);
    cycle_list = {0, 1, 2, 3, 4};
    cycle_list_from = std::next(cycle_list.begin(), 2);
    cycle_list_to = cycle_list.begin();
    short_list = {0, 1, 2, 3, 4};
    short_list_last = std::prev(short_list.end());
    cycle_flist = {0, 1, 2, 3, 4};
    cycle_flist_from = std::next(cycle_flist.begin(), 2);
    cycle_flist_to = cycle_flist.begin();

    kel_std_gdb_fixture_ready();
    return 0;
}
