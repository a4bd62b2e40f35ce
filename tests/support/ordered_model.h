// The model-based run of the ordered containers, shared by the unit test
// and the fuzz target: every modifier and lookup of the four containers,
// chosen by a source of choices, done on ours and on the standard container
// of the same kind, with the contents (both directions), the size and every
// answer compared after each step, and the tree verifier run on every
// container. Positions are compared as distances from begin(), so that among
// equal keys the very element must agree.
#ifndef KEL_STD_TESTS_ORDERED_MODEL_H
#define KEL_STD_TESTS_ORDERED_MODEL_H

#include "model_source.h"

#include <kel_std/detail/tree_check.h>
#include <kel_std/map.h>
#include <kel_std/set.h>

#include <functional>
#include <iterator>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace kel_test {

// The kinds under test: ours, the standard model, and the counterpart of the
// other multiplicity (for merges and node handles across kinds).
struct int_set {
    typedef kel_std::set<int> ours;
    typedef std::set<int> model;
    typedef kel_std::multiset<int> twin;
    typedef std::multiset<int> model_twin;
    static int key(source& s) { return s.int_key(); }
    static int value(source& s) { return s.int_key(); }
};
struct tagged_multiset {
    typedef kel_std::multiset<tagged, key_less> ours;
    typedef std::multiset<tagged, key_less> model;
    typedef kel_std::set<tagged, key_less> twin;
    typedef std::set<tagged, key_less> model_twin;
    static tagged key(source& s) { return tagged{s.int_key(), 0}; }
    static tagged value(source& s) { return tagged{s.int_key(), s.tag()}; }
};
struct string_set {
    typedef kel_std::set<std::string> ours;
    typedef std::set<std::string> model;
    typedef kel_std::multiset<std::string> twin;
    typedef std::multiset<std::string> model_twin;
    static std::string key(source& s) { return s.string_key(); }
    static std::string value(source& s) { return s.string_key(); }
};
struct int_map {
    typedef kel_std::map<int, int> ours;
    typedef std::map<int, int> model;
    typedef kel_std::multimap<int, int> twin;
    typedef std::multimap<int, int> model_twin;
    static int key(source& s) { return s.int_key(); }
    static std::pair<const int, int> value(source& s) { return {s.int_key(), s.tag()}; }
    static int mapped(source& s) { return s.tag(); }
};
struct int_multimap {
    typedef kel_std::multimap<int, int> ours;
    typedef std::multimap<int, int> model;
    typedef kel_std::map<int, int> twin;
    typedef std::map<int, int> model_twin;
    static int key(source& s) { return s.int_key(); }
    static std::pair<const int, int> value(source& s) { return {s.int_key(), s.tag()}; }
    static int mapped(source& s) { return s.tag(); }
};
struct string_multimap {
    typedef kel_std::multimap<std::string, std::string> ours;
    typedef std::multimap<std::string, std::string> model;
    typedef kel_std::map<std::string, std::string> twin;
    typedef std::map<std::string, std::string> model_twin;
    static std::string key(source& s) { return s.string_key(); }
    static std::pair<const std::string, std::string> value(source& s) {
        return {s.string_key(), std::to_string(s.tag())};
    }
    static std::string mapped(source& s) { return std::to_string(s.tag()); }
};
struct string_map {
    typedef kel_std::map<std::string, int> ours;
    typedef std::map<std::string, int> model;
    typedef kel_std::multimap<std::string, int> twin;
    typedef std::multimap<std::string, int> model_twin;
    static std::string key(source& s) { return s.string_key(); }
    static std::pair<const std::string, int> value(source& s) { return {s.string_key(), s.tag()}; }
    static int mapped(source& s) { return s.tag(); }
};

// A comparator whose state decides the order: keys compare with their bits
// flipped by `salt`. Each container of a run starts with its own salt, so
// that a container that keeps the wrong comparator after a copy, a move or a
// swap orders (and finds) its elements differently from the model.
struct salted_less {
    unsigned salt;
    bool operator()(int a, int b) const {
        return (static_cast<unsigned>(a) ^ salt) < (static_cast<unsigned>(b) ^ salt);
    }
};
struct salted_map {
    typedef kel_std::map<int, int, salted_less> ours;
    typedef std::map<int, int, salted_less> model;
    typedef kel_std::multimap<int, int, salted_less> twin;
    typedef std::multimap<int, int, salted_less> model_twin;
    static int key(source& s) { return s.int_key(); }
    static std::pair<const int, int> value(source& s) { return {s.int_key(), s.tag()}; }
    static int mapped(source& s) { return s.tag(); }
    // Container `which` of a run: 0 is a, 1 is b, 2 the twin, more are
    // fresh ones.
    static salted_less compare(int which) { return salted_less{static_cast<unsigned>(which) * 0x2Bu}; }
};

// The comparator container `which` of a run starts with: the kind's own
// choice, where it makes one, else the default.
template <class Kind, class = void>
struct compare_of {
    template <class C>
    static C make(int) {
        return C();
    }
};
template <class Kind>
struct compare_of<Kind, decltype(static_cast<void>(Kind::compare(0)))> {
    template <class C>
    static C make(int which) {
        return Kind::compare(which);
    }
};

// An empty string when `ours` is sound and holds exactly what `model` holds,
// in the same order both ways; else what differs.
template <class Ours, class Model>
std::string difference(const Ours& ours, const Model& model) {
    const std::string fault = kel_std::detail::tree_inspector::check(ours);
    if (!fault.empty())
        return "verifier: " + fault;
    std::ostringstream out;
    if (ours.size() != model.size() || ours.empty() != model.empty()) {
        out << "size " << ours.size() << ", expected " << model.size();
        return out.str();
    }
    long i = 0;
    typename Ours::const_iterator it = ours.begin();
    for (const auto& v : model) {
        if (!(*it == v)) {
            out << "element " << i << " is " << *it << ", expected " << v;
            return out.str();
        }
        ++it;
        ++i;
    }
    if (it != ours.end())
        return "the forward walk does not end at end()";
    typename Ours::const_reverse_iterator r = ours.crbegin();
    for (auto m = model.crbegin(); m != model.crend(); ++m, ++r)
        if (!(*r == *m))
            return "the backward walk differs";
    if (r != ours.crend())
        return "the backward walk does not end at rend()";
    return std::string();
}

template <class Kind>
class model_run {
public:
    typedef typename Kind::ours ours;
    typedef typename Kind::model model;
    typedef typename Kind::twin twin;
    typedef typename Kind::model_twin model_twin;
    typedef typename ours::key_type key_type;
    typedef typename ours::value_type value_type;
    static const bool is_map = !std::is_same<key_type, value_type>::value;
    static const bool is_multi = std::is_same<decltype(std::declval<ours&>().insert(std::declval<const value_type&>())),
                                              typename ours::iterator>::value;

    // `fail` receives a description of the first difference found. The
    // containers under test are built with `alloc` (the twin with its
    // rebound copy), and so are their copies.
    model_run(source& src, std::function<void(const std::string&)> fail,
              const typename ours::allocator_type& alloc = typename ours::allocator_type())
        : src_(src), fail_(std::move(fail)), a_(compare(0), alloc), b_(compare(1), alloc), ma_(compare(0)),
          mb_(compare(1)), c_(compare(2), typename twin::allocator_type(alloc)), mc_(compare(2)) {}

    // Runs up to `steps` operations, while `more()` allows; returns how
    // many were checked (fewer when a check failed).
    template <class More>
    long run(long steps, More more) {
        for (step_ = 0; step_ < steps && more(); ++step_) {
            op_ = "";
            one_step();
            expect_same("a", a_, ma_);
            expect_same("b", b_, mb_);
            expect_same("twin", c_, mc_);
            if (failed_)
                return step_;
        }
        return step_;
    }

private:
    static typename ours::key_compare compare(int which) {
        return compare_of<Kind>::template make<typename ours::key_compare>(which);
    }

    void report(const std::string& what) {
        if (failed_)
            return;
        failed_ = true;
        std::ostringstream out;
        out << what << " after " << op_ << " (step " << step_ << ")";
        fail_(out.str());
    }

    template <class O, class M>
    void expect_same(const char* which, const O& o, const M& m) {
        const std::string d = difference(o, m);
        if (!d.empty())
            report(std::string("container ") + which + ": " + d);
    }

    template <class T, class U>
    void expect_eq(const T& got, const U& want, const char* what) {
        if (!(got == want)) {
            std::ostringstream out;
            out << what << " is " << got << ", expected " << want;
            report(out.str());
        }
    }

    template <class F>
    void expect_out_of_range(F f) {
        try {
            f();
        } catch (const kel_std::out_of_range&) {
            return;
        }
        report("at() of a missing key did not throw out_of_range");
    }

    // A random position of `c`, begin() to end(), as an index.
    template <class C>
    long any_index(const C& c) {
        return src_.below(static_cast<int>(c.size()) + 1);
    }
    template <class C>
    typename C::const_iterator at(const C& c, long i) {
        return std::next(c.begin(), i);
    }

    void one_step() {
        // Keep the containers small enough for whole comparisons, big
        // enough for deep trees: erase more when they grow.
        int op = src_.below(32);
        if (a_.size() > 300 && op < 12)
            op = 12 + op % 3;
        switch (op) {
        case 0: {
            op_ = "insert(const value&)";
            const value_type v = Kind::value(src_);
            compare_insert(a_.insert(v), ma_.insert(v));
            break;
        }
        case 1: {
            op_ = "insert(value&&)";
            value_type v = Kind::value(src_);
            value_type w = v;
            compare_insert(a_.insert(std::move(v)), ma_.insert(std::move(w)));
            break;
        }
        case 2:
        case 3: {
            op_ = "insert(hint, value)";
            const value_type v = Kind::value(src_);
            const long h = hint_index(v);
            expect_eq(index_of(a_, a_.insert(at(a_, h), v)), index_of(ma_, ma_.insert(at(ma_, h), v)), "position");
            break;
        }
        case 4: {
            op_ = "emplace";
            const value_type v = Kind::value(src_);
            compare_insert(a_.emplace(v), ma_.emplace(v));
            break;
        }
        case 5: {
            op_ = "emplace_hint";
            const value_type v = Kind::value(src_);
            const long h = hint_index(v);
            expect_eq(index_of(a_, a_.emplace_hint(at(a_, h), v)), index_of(ma_, ma_.emplace_hint(at(ma_, h), v)),
                      "position");
            break;
        }
        case 6: {
            op_ = "insert(first, last)";
            // In random order, or sorted (each element then goes in after
            // one comparison with the last).
            std::vector<value_type> vs;
            std::multiset<value_type, typename model::value_compare> sorted(ma_.value_comp());
            for (int n = src_.below(9); n > 0; --n) {
                vs.push_back(Kind::value(src_));
                sorted.insert(vs.back());
            }
            if (src_.below(2) == 0) {
                a_.insert(vs.begin(), vs.end());
                ma_.insert(vs.begin(), vs.end());
            } else {
                a_.insert(sorted.begin(), sorted.end());
                ma_.insert(sorted.begin(), sorted.end());
            }
            break;
        }
        case 7: {
            op_ = "insert(initializer_list)";
            const value_type x = Kind::value(src_), y = Kind::value(src_), z = Kind::value(src_);
            a_.insert({x, y, z});
            ma_.insert({x, y, z});
            break;
        }
        case 8:
        case 9:
            lookups();
            break;
        case 10:
        case 11:
            map_only(std::integral_constant<bool, is_map>());
            break;
        case 12: {
            op_ = "erase(key)";
            const key_type k = Kind::key(src_);
            expect_eq(a_.erase(k), ma_.erase(k), "count");
            break;
        }
        case 13: {
            if (a_.empty())
                break;
            op_ = "erase(position)";
            const long i = src_.below(static_cast<int>(a_.size()));
            expect_eq(index_of(a_, a_.erase(at(a_, i))), index_of(ma_, ma_.erase(at(ma_, i))), "next position");
            break;
        }
        case 14: {
            op_ = "erase(first, last)";
            long i = any_index(a_), j = any_index(a_);
            if (j < i)
                std::swap(i, j);
            if (src_.below(8) == 0) {
                i = 0;
                j = static_cast<long>(a_.size());
            }
            expect_eq(index_of(a_, a_.erase(at(a_, i), at(a_, j))), index_of(ma_, ma_.erase(at(ma_, i), at(ma_, j))),
                      "next position");
            break;
        }
        case 15:
        case 16:
            node_handles();
            break;
        case 17: {
            op_ = "insert into the twin";
            const value_type v = Kind::value(src_);
            c_.insert(v);
            mc_.insert(v);
            break;
        }
        case 18: {
            op_ = "merge(twin)";
            a_.merge(c_);
            ma_.merge(mc_);
            break;
        }
        case 19: {
            op_ = "twin.merge(a)";
            c_.merge(a_);
            mc_.merge(ma_);
            break;
        }
        case 20: {
            op_ = "merge(b)";
            if (src_.below(2) == 0) {
                a_.merge(b_);
                ma_.merge(mb_);
            } else {
                a_.merge(std::move(b_));
                ma_.merge(std::move(mb_));
            }
            break;
        }
        case 21: {
            op_ = "insert into b";
            for (int n = src_.below(6); n > 0; --n) {
                const value_type v = Kind::value(src_);
                b_.insert(v);
                mb_.insert(v);
            }
            break;
        }
        case 22: {
            op_ = "swap";
            if (src_.below(2) == 0)
                a_.swap(b_);
            else
                swap(a_, b_);
            ma_.swap(mb_);
            break;
        }
        case 23: {
            op_ = "copy construction and copy assignment";
            ours copy(a_);
            expect_same("copy", copy, ma_);
            b_ = copy;
            mb_ = ma_;
            const ours& self = b_;
            b_ = self;
            // Copy assignment takes the source's comparator too.
            const int fresh = 3 + src_.below(4);
            const ours reordered(ma_.begin(), ma_.end(), compare(fresh), a_.get_allocator());
            a_ = reordered;
            ma_ = model(ma_.begin(), ma_.end(), compare(fresh));
            break;
        }
        case 24: {
            op_ = "move construction and move assignment";
            ours moved(std::move(a_));
            expect_same("moved-from", a_, model());
            a_ = std::move(b_);
            b_ = std::move(moved);
            ma_.swap(mb_);
            break;
        }
        case 25: {
            if (src_.below(4) != 0)
                break;
            op_ = "clear";
            a_.clear();
            ma_.clear();
            break;
        }
        case 26: {
            op_ = "erase_if";
            const int m = 2 + src_.below(4), r = src_.below(m);
            int n = 0;
            const auto pred = [&n, m, r](const value_type&) { return n++ % m == r; };
            const std::size_t erased = kel_std::erase_if(a_, pred);
            n = 0;
            std::size_t model_erased = 0;
            for (auto it = ma_.begin(); it != ma_.end();) {
                if (pred(*it)) {
                    it = ma_.erase(it);
                    ++model_erased;
                } else {
                    ++it;
                }
            }
            expect_eq(erased, model_erased, "count");
            break;
        }
        case 27: {
            op_ = "comparisons";
            expect_eq(a_ == b_, ma_ == mb_, "==");
            expect_eq(a_ != b_, ma_ != mb_, "!=");
            expect_eq(a_ < b_, ma_ < mb_, "<");
            expect_eq(a_ <= b_, ma_ <= mb_, "<=");
            expect_eq(a_ > b_, ma_ > mb_, ">");
            expect_eq(a_ >= b_, ma_ >= mb_, ">=");
            const ours same(a_);
            expect_eq(a_ == same, true, "== with a copy");
            break;
        }
        case 28: {
            op_ = "assignment from an initializer list";
            if (src_.below(4) != 0)
                break;
            const value_type x = Kind::value(src_), y = Kind::value(src_);
            b_ = {x, y, x};
            mb_ = {x, y, x};
            break;
        }
        default: {
            op_ = "iterate both ways with iterator arithmetic";
            if (a_.empty())
                break;
            // Walk from a random position to the end and back to begin().
            const long i = src_.below(static_cast<int>(a_.size()));
            auto it = at(a_, i);
            long steps = 0;
            for (; it != a_.end(); ++it)
                ++steps;
            for (; it != a_.begin(); --it)
                --steps;
            expect_eq(steps, -i, "steps");
            break;
        }
        }
    }

    // A hint that is right about half the time: the lower or upper bound of
    // the value's key, else anywhere.
    long hint_index(const value_type& v) {
        const key_type& k = key_of(v);
        switch (src_.below(4)) {
        case 0:
            return index_of(a_, a_.lower_bound(k));
        case 1:
            return index_of(a_, a_.upper_bound(k));
        default:
            return any_index(a_);
        }
    }

    static const key_type& key_of(const value_type& v) { return key_of(v, std::integral_constant<bool, is_map>()); }
    static const key_type& key_of(const value_type& v, std::false_type) { return v; }
    template <class V>
    static const key_type& key_of(const V& v, std::true_type) {
        return v.first;
    }

    template <class R>
    void compare_insert(const R& got, const typename model::iterator& want) {
        expect_eq(index_of(a_, got), index_of(ma_, want), "position");
    }
    template <class R, class M>
    void compare_insert(const R& got, const M& want) {
        expect_eq(index_of(a_, got.first), index_of(ma_, want.first), "position");
        expect_eq(got.second, want.second, "inserted");
    }

    void lookups() {
        op_ = "lookups";
        const key_type k = Kind::key(src_);
        const ours& ca = a_;
        expect_eq(index_of(a_, a_.find(k)), index_of(ma_, ma_.find(k)), "find");
        expect_eq(index_of(a_, ca.find(k)), index_of(ma_, ma_.find(k)), "const find");
        expect_eq(a_.count(k), ma_.count(k), "count");
        expect_eq(a_.contains(k), ma_.count(k) != 0, "contains");
        expect_eq(index_of(a_, a_.lower_bound(k)), index_of(ma_, ma_.lower_bound(k)), "lower_bound");
        expect_eq(index_of(a_, ca.upper_bound(k)), index_of(ma_, ma_.upper_bound(k)), "upper_bound");
        const auto r = a_.equal_range(k);
        const auto mr = ma_.equal_range(k);
        expect_eq(index_of(a_, r.first), index_of(ma_, mr.first), "equal_range.first");
        expect_eq(index_of(a_, r.second), index_of(ma_, mr.second), "equal_range.second");
    }

    void map_only(std::false_type) { lookups(); }

    void map_only(std::true_type) { map_ops(std::integral_constant<bool, is_multi>()); }

    void map_ops(std::true_type /*multimap*/) {
        op_ = "insert(P&&) and insert(hint, P&&)";
        const key_type k = Kind::key(src_);
        const auto m = Kind::mapped(src_);
        expect_eq(index_of(a_, a_.insert(std::make_pair(k, m))), index_of(ma_, ma_.insert(std::make_pair(k, m))),
                  "position");
        const long h = any_index(a_);
        expect_eq(index_of(a_, a_.insert(at(a_, h), std::make_pair(k, m))),
                  index_of(ma_, ma_.insert(at(ma_, h), std::make_pair(k, m))), "hinted position");
    }

    void map_ops(std::false_type /*map*/) {
        const key_type k = Kind::key(src_);
        const auto m = Kind::mapped(src_);
        switch (src_.below(6)) {
        case 0:
            op_ = "operator[]";
            expect_eq(a_[k], ma_[k], "value");
            a_[k] = m;
            ma_[k] = m;
            break;
        case 1: {
            op_ = "at";
            const ours& ca = a_;
            if (ma_.count(k) != 0) {
                expect_eq(a_.at(k), ma_.at(k), "value");
                expect_eq(ca.at(k), ma_.at(k), "const value");
            } else {
                expect_out_of_range([&] { a_.at(k); });
                expect_out_of_range([&] { ca.at(k); });
            }
            break;
        }
        case 2:
            op_ = "try_emplace";
            compare_insert(a_.try_emplace(k, m), ma_.try_emplace(k, m));
            break;
        case 3: {
            op_ = "try_emplace(hint)";
            const long h = any_index(a_);
            expect_eq(index_of(a_, a_.try_emplace(at(a_, h), k, m)), index_of(ma_, ma_.try_emplace(at(ma_, h), k, m)),
                      "position");
            break;
        }
        case 4:
            op_ = "insert_or_assign";
            compare_insert(a_.insert_or_assign(k, m), ma_.insert_or_assign(k, m));
            break;
        default: {
            op_ = "insert_or_assign(hint)";
            const long h = any_index(a_);
            expect_eq(index_of(a_, a_.insert_or_assign(at(a_, h), k, m)),
                      index_of(ma_, ma_.insert_or_assign(at(ma_, h), k, m)), "position");
            break;
        }
        }
    }

    // Extracts from `a` (by key or by position) and inserts the node into
    // the twin or into `b`, sometimes with a changed key.
    void node_handles() {
        typename ours::node_type nh;
        typename model::node_type mh;
        if (src_.below(2) == 0) {
            op_ = "extract(key)";
            const key_type k = Kind::key(src_);
            nh = a_.extract(k);
            mh = ma_.extract(k);
        } else {
            if (a_.empty())
                return;
            op_ = "extract(position)";
            const long i = src_.below(static_cast<int>(a_.size()));
            nh = a_.extract(at(a_, i));
            mh = ma_.extract(at(ma_, i));
        }
        expect_eq(nh.empty(), mh.empty(), "empty");
        if (!nh.empty() && src_.below(3) == 0)
            change_key(nh, mh, std::integral_constant<bool, is_map>());
        switch (src_.below(3)) {
        case 0: {
            op_ = "extract, insert(node) into b";
            const auto r = b_.insert(std::move(nh));
            const auto mr = mb_.insert(std::move(mh));
            compare_node_insert(b_, mb_, r, mr, std::integral_constant<bool, is_multi>());
            break;
        }
        case 1: {
            op_ = "extract, insert(hint, node) into b";
            const long h = any_index(b_);
            expect_eq(index_of(b_, b_.insert(at(b_, h), std::move(nh))),
                      index_of(mb_, mb_.insert(at(mb_, h), std::move(mh))), "position");
            break;
        }
        default: {
            op_ = "extract, insert(node) into the twin";
            const auto r = c_.insert(std::move(nh));
            const auto mr = mc_.insert(std::move(mh));
            compare_node_insert(c_, mc_, r, mr, std::integral_constant<bool, !is_multi>());
            break;
        }
        }
    }

    template <class NH, class MH>
    void change_key(NH& nh, MH& mh, std::true_type) {
        nh.key() = Kind::key(src_);
        mh.key() = nh.key();
    }
    template <class NH, class MH>
    void change_key(NH& nh, MH& mh, std::false_type) {
        nh.value() = Kind::value(src_);
        mh.value() = nh.value();
    }

    template <class C, class M, class R, class MR>
    void compare_node_insert(const C& c, const M& m, const R& r, const MR& mr, std::true_type /*multi*/) {
        expect_eq(index_of(c, r), index_of(m, mr), "position");
    }
    template <class C, class M, class R, class MR>
    void compare_node_insert(const C& c, const M& m, const R& r, const MR& mr, std::false_type /*unique*/) {
        expect_eq(r.inserted, mr.inserted, "inserted");
        expect_eq(index_of(c, r.position), index_of(m, mr.position), "position");
        expect_eq(r.node.empty(), mr.node.empty(), "node handed back");
    }

    source& src_;
    std::function<void(const std::string&)> fail_;
    bool failed_ = false;
    ours a_, b_;
    model ma_, mb_;
    twin c_;
    model_twin mc_;
    int step_ = 0;
    const char* op_ = "";
};

} // namespace kel_test

#endif
