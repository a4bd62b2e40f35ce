// The model-based run of the sequence containers (vector, deque, list,
// forward_list), shared by the unit tests and the fuzz target: every
// constructor, assignment and modifier of the standard interface that the
// container has, chosen by a source of choices, done on ours and on the
// standard container of the same kind. After every step: the contents (both
// ways where the iterators allow), size, capacity, allocators, the elements
// alive and the structure verifier; every returned position (as a distance
// from begin()), reference, value and count is compared with the model's.
//
// How a container plugs in:
//
// - The container. The families below (vector_family ...) name the
//   container under test and its model; every test program
//   (tests/sequence_test.cc, one per container) and the fuzz target take a
//   family.
// - Kinds. A Kind is a struct with `typedef ... ours;` (the container under
//   test), `typedef ... model;` (the std:: container of the same kind),
//   `static value_type value(source&)` (a fresh element).
//   sequence_kind<Family, Element[, Allocator]> makes one; the elements are
//   int_element, string_element (std::string on the heap),
//   kel_string_element, tagged_element (sorted by key, the tag shows
//   stability), move_only_element (copies are skipped at compile time) and
//   tracked_element (live instances counted, misuse seen).
// - Verifiers. After every step the run calls structure_fault(c): an empty
//   string when c is sound, else what is wrong; for kel_std::<name> that is
//   the inspector of <kel_std/detail/<name>_check.h>, a struct befriended by
//   the container (list_check.h serves both lists).
// - Aliasing. Ours must handle what users may do with its own elements:
//   `v.insert(p, v[i])`, `v.push_back(v.back())` and `v.emplace_back(v[0])`
//   across a reallocation, `insert(p, n, v[i])`, `resize(n, v[i])`,
//   `assign(n, v[i])`, and ranges of its own elements given to insert and
//   assign (which the standard forbids for its own containers).
// - The non-member erase and erase_if, and the counts that remove and
//   unique return, are expected in every language mode.
//
// The fault-injection driver is tests/support/fault_driver.h.
#ifndef KEL_STD_TESTS_SEQUENCE_MODEL_H
#define KEL_STD_TESTS_SEQUENCE_MODEL_H

#include "model_source.h"
#include "recording_manager.h"
#include "test_allocators.h"

#include <kel_std/allocator.h>
#include <kel_std/basic_string.h>
#include <kel_std/errors.h>
#include <kel_std/string_io.h>

#include <kel_std/deque.h>
#include <kel_std/detail/deque_check.h>
#include <kel_std/detail/list_check.h>
#include <kel_std/detail/vector_check.h>
#include <kel_std/forward_list.h>
#include <kel_std/list.h>
#include <kel_std/vector.h>

#include <algorithm>
#include <deque>
#include <forward_list>
#include <functional>
#include <iterator>
#include <list>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace kel_test {

// ---- The containers under test ----

template <template <class, class> class Ours, template <class, class> class Model>
struct family {
    template <class T, class A>
    using ours = Ours<T, A>;
    template <class T, class A>
    using model = Model<T, A>;
};
// One family per container: the container under test and its model.
struct vector_family : family<kel_std::vector, std::vector> {
    static constexpr const char* name = "vector";
};
struct deque_family : family<kel_std::deque, std::deque> {
    static constexpr const char* name = "deque";
};
struct list_family : family<kel_std::list, std::list> {
    static constexpr const char* name = "list";
};
struct forward_list_family : family<kel_std::forward_list, std::forward_list> {
    static constexpr const char* name = "forward_list";
};

// ---- Structure verifiers ----

template <class T, class A>
std::string structure_fault(const kel_std::vector<T, A>& c) {
    return kel_std::detail::vector_inspector::check(c);
}
template <class T, class A>
std::string structure_fault(const kel_std::deque<T, A>& c) {
    return kel_std::detail::deque_inspector::check(c);
}
template <class T, class A>
std::string structure_fault(const kel_std::list<T, A>& c) {
    return kel_std::detail::list_inspector::check(c);
}
template <class T, class A>
std::string structure_fault(const kel_std::forward_list<T, A>& c) {
    return kel_std::detail::list_inspector::check(c);
}

// ---- Elements ----

// A value that can only be moved; compared by pointee (a moved-from or
// default one holds null, which equals null).
struct move_only {
    std::unique_ptr<int> p;
    move_only() = default;
    explicit move_only(int v) : p(new int(v)) {}
};
inline bool operator==(const move_only& a, const move_only& b) {
    return a.p && b.p ? *a.p == *b.p : !a.p && !b.p;
}
inline bool operator<(const move_only& a, const move_only& b) {
    return b.p && (!a.p || *a.p < *b.p);
}
inline std::ostream& operator<<(std::ostream& out, const move_only& m) {
    return m.p ? out << *m.p : out << "null";
}

// An equal value: a copy, or a new pointee for a move-only one.
template <class T>
T duplicate(const T& v) {
    return v;
}
inline move_only duplicate(const move_only& m) {
    move_only d;
    if (m.p)
        d.p.reset(new int(*m.p));
    return d;
}

// A coarser key than the value, so that sorting, merging and unique() by
// key keep equivalent elements apart and an unstable sort shows.
inline int key_of(int v) {
    return v / 2;
}
inline int key_of(const std::string& s) {
    return static_cast<int>(s.size());
}
inline int key_of(const kel_std::string& s) {
    return static_cast<int>(s.size());
}
inline int key_of(const tagged& t) {
    return t.key;
}
inline int key_of(const move_only& m) {
    return m.p ? *m.p / 2 : -1;
}
template <bool N>
int key_of(const tracked<N>& t) {
    return t.key / 2;
}
struct by_key {
    template <class T>
    bool operator()(const T& a, const T& b) const {
        return key_of(a) < key_of(b);
    }
};
struct same_key {
    template <class T>
    bool operator()(const T& a, const T& b) const {
        return key_of(a) == key_of(b);
    }
};

// The element kinds: `type` and how a fresh one is made.
struct int_element {
    typedef int type;
    static constexpr const char* name = "int";
    static int make(source& s) { return s.int_key(); }
};
struct string_element {
    typedef std::string type;
    static constexpr const char* name = "std::string";
    // Longer than any short-string buffer.
    static std::string make(source& s) { return "sequence element #" + s.string_key(); }
};
struct kel_string_element {
    typedef kel_std::string type;
    static constexpr const char* name = "kel_std::string";
    static kel_std::string make(source& s) { return kel_std::string(string_element::make(s)); }
};
struct tagged_element {
    typedef tagged type;
    static constexpr const char* name = "tagged";
    static tagged make(source& s) { return tagged{s.int_key(), s.tag()}; }
};
struct move_only_element {
    typedef move_only type;
    static constexpr const char* name = "move_only";
    static move_only make(source& s) { return move_only(s.int_key()); }
};
struct tracked_element {
    typedef tracked<false> type;
    static constexpr const char* name = "tracked";
    static tracked<false> make(source& s) { return tracked<false>(s.int_key(), s.tag()); }
};

// A Kind: the family's container of `Element`s on `Alloc`, against the
// model on malloc (so that a test that counts the global heap sees only
// ours, and the values' own allocations).
template <class Family, class Element, class Alloc = kel_std::allocator<typename Element::type>>
struct sequence_kind {
    typedef typename Element::type value_type;
    typedef typename Family::template ours<value_type, Alloc> ours;
    typedef typename Family::template model<value_type, malloc_allocator<value_type>> model;
    static value_type value(source& s) { return Element::make(s); }
};

// ---- What a container has ----

#define KEL_TEST_DETECT(name, expr)                                                                                    \
    template <class C, class = void>                                                                                   \
    struct name : std::false_type {};                                                                                  \
    template <class C>                                                                                                 \
    struct name<C, decltype(void(expr))> : std::true_type {};
KEL_TEST_DETECT(has_size, std::declval<const C&>().size())
KEL_TEST_DETECT(has_back, std::declval<C&>().pop_back())
KEL_TEST_DETECT(has_front_ops, std::declval<C&>().pop_front())
KEL_TEST_DETECT(has_capacity, std::declval<const C&>().capacity())
KEL_TEST_DETECT(has_shrink, std::declval<C&>().shrink_to_fit())
KEL_TEST_DETECT(has_data, std::declval<C&>().data())
KEL_TEST_DETECT(has_position_ops, std::declval<C&>().erase(std::declval<C&>().cbegin()))
KEL_TEST_DETECT(has_splice, std::declval<C&>().splice(std::declval<C&>().cbegin(), std::declval<C&>()))
KEL_TEST_DETECT(has_after_ops, std::declval<C&>().before_begin())
KEL_TEST_DETECT(has_live_count, C::live())
#undef KEL_TEST_DETECT

template <class C, class Tag>
struct has_category
    : std::is_base_of<Tag, typename std::iterator_traits<typename C::const_iterator>::iterator_category> {};

// The value's instances alive and misused (-1: not counted).
template <class T>
long live_instances() {
    if constexpr (has_live_count<T>::value)
        return T::live();
    else
        return -1;
}
template <class T>
long misused_instances() {
    if constexpr (has_live_count<T>::value)
        return T::misuse();
    else
        return 0;
}

// The elements of a container: its size(), else counted up to `limit`.
template <class C>
long element_count(const C& c, long limit = 1L << 20) {
    if constexpr (has_size<C>::value) {
        static_cast<void>(limit);
        return static_cast<long>(c.size());
    } else {
        long n = 0;
        for (auto it = c.begin(); it != c.end() && n <= limit; ++it)
            ++n;
        return n;
    }
}

// The position `i` of `c`: -1 is before_begin() (forward_list).
template <class C>
auto position(C& c, long i) {
    if constexpr (has_after_ops<C>::value) {
        if (i < 0)
            return c.before_begin();
    }
    return std::next(c.begin(), i);
}

// The distance of `it` from begin(): -1 for before_begin(), -2 when it is
// not reached within `limit` steps.
template <class C, class It>
long distance_of(const C& c, It it, long limit) {
    if constexpr (has_after_ops<C>::value) {
        if (typename C::const_iterator(it) == c.cbefore_begin())
            return -1;
    }
    const long i = index_of(c, it, limit);
    return i < 0 ? -2 : i;
}

// Insertion at position `i` (after it for a forward_list).
template <class C, class... Args>
auto insert_at(C& c, long i, Args&&... args) {
    if constexpr (has_after_ops<C>::value)
        return c.insert_after(position(c, i), std::forward<Args>(args)...);
    else
        return c.insert(position(c, i), std::forward<Args>(args)...);
}
// libstdc++'s std::deque, asked to insert nothing in the middle, moves each
// element before the position onto itself, which empties a std::string: the
// model is spared such insertions.
inline bool inserts_nothing() {
    return false;
}
template <class V>
bool inserts_nothing(const V&) {
    return false;
}
template <class V>
bool inserts_nothing(std::size_t n, const V&) {
    return n == 0;
}
template <class It>
bool inserts_nothing(const It& first, const It& last) {
    // A single-pass range is inserted element by element: not affected.
    if constexpr (std::is_base_of<std::forward_iterator_tag,
                                  typename std::iterator_traits<It>::iterator_category>::value)
        return first == last;
    else
        return false;
}
template <class V>
bool inserts_nothing(std::initializer_list<V> il) {
    return il.size() == 0;
}
template <class T, class A, class... Args>
auto insert_at(std::deque<T, A>& c, long i, Args&&... args) {
    if (inserts_nothing(args...))
        return c.begin() + i;
    return c.insert(position(c, i), std::forward<Args>(args)...);
}
template <class C, class... Args>
auto emplace_at(C& c, long i, Args&&... args) {
    if constexpr (has_after_ops<C>::value)
        return c.emplace_after(position(c, i), std::forward<Args>(args)...);
    else
        return c.emplace(position(c, i), std::forward<Args>(args)...);
}

// Hands out a range once, as a stream does: every copy of an iterator is a
// view of one cursor, and reading or advancing a copy that is behind it (a
// second pass) is counted as misuse.
template <class It>
class single_pass {
    struct cursor {
        long consumed = 0;
        long misuse = 0;
    };

public:
    class iterator {
    public:
        typedef std::input_iterator_tag iterator_category;
        typedef typename std::iterator_traits<It>::value_type value_type;
        typedef typename std::iterator_traits<It>::difference_type difference_type;
        typedef typename std::iterator_traits<It>::reference reference;
        typedef typename std::iterator_traits<It>::pointer pointer;
        struct proxy {
            reference r;
            reference operator*() const { return static_cast<reference>(r); }
        };

        iterator() = default;
        iterator(It it, long pos, cursor* c) : it_(it), pos_(pos), cursor_(c) {}
        reference operator*() const {
            check();
            return *it_;
        }
        iterator& operator++() {
            check();
            ++it_;
            cursor_->consumed = ++pos_;
            return *this;
        }
        proxy operator++(int) {
            proxy p{**this};
            ++*this;
            return p;
        }
        friend bool operator==(const iterator& a, const iterator& b) { return a.it_ == b.it_; }
        friend bool operator!=(const iterator& a, const iterator& b) { return a.it_ != b.it_; }

    private:
        void check() const {
            if (pos_ != cursor_->consumed)
                ++cursor_->misuse;
        }
        It it_{};
        long pos_ = 0;
        cursor* cursor_ = nullptr;
    };

    single_pass(It first, It last) : first_(first), last_(last) {}
    iterator begin() { return iterator(first_, 0, &cursor_); }
    iterator end() { return iterator(last_, -1, &cursor_); }
    long misuse() const { return cursor_.misuse; }

private:
    It first_, last_;
    cursor cursor_;
};

// ---- The run ----

#define KEL_TEST_FWD(x) std::forward<decltype(x)>(x)

template <class Kind>
class sequence_run {
public:
    typedef typename Kind::ours ours;
    typedef typename Kind::model model;
    typedef typename ours::value_type value_type;
    typedef typename ours::size_type size_type;
    typedef typename ours::allocator_type allocator_type;
    typedef std::allocator_traits<allocator_type> traits;
    typedef std::vector<value_type, malloc_allocator<value_type>> values;

    static constexpr bool copyable = std::is_copy_constructible<value_type>::value;
    static constexpr bool bidirectional = has_category<ours, std::bidirectional_iterator_tag>::value;
    static constexpr bool random_access = has_category<ours, std::random_access_iterator_tag>::value;
    static constexpr bool back_ops = has_back<ours>::value;
    static constexpr bool front_ops = has_front_ops<ours>::value || has_after_ops<ours>::value;
    static constexpr bool after_ops = has_after_ops<ours>::value;
    static constexpr bool list_ops = has_splice<ours>::value || after_ops;
    static constexpr bool pocma = traits::propagate_on_container_move_assignment::value;
    static constexpr bool pocs = traits::propagate_on_container_swap::value;

    // What the run saw, beyond the step count.
    struct figures {
        long aliased_at_capacity = 0; // own elements inserted into a full vector
        long largest = 0;             // the most elements a container held
    };

    // `fail` receives a description of the first difference found. The
    // containers under test are built with `alloc`; some temporaries (and,
    // through propagation, some of the containers) with `other`, which may
    // compare unequal to it.
    sequence_run(source& src, std::function<void(const std::string&)> fail,
                 const allocator_type& alloc = allocator_type())
        : sequence_run(src, std::move(fail), alloc, alloc) {}
    sequence_run(source& src, std::function<void(const std::string&)> fail, const allocator_type& alloc,
                 const allocator_type& other)
        : src_(src), fail_(std::move(fail)), alloc_(alloc), other_(other), a_(alloc), b_(alloc) {
        ea_.emplace(alloc);
        eb_.emplace(alloc);
        op_.reserve(100); // names are copied into it without allocating
    }

    // Runs up to `steps` operations while `more()` allows; returns how many
    // were checked (fewer when a check failed).
    template <class More>
    long run(long steps, More more) {
        for (step_ = 0; step_ < steps && more(); ++step_) {
            op_ = "";
            one_step();
            expect_same("a", a_, ma_, *ea_);
            expect_same("b", b_, mb_, *eb_);
            const long held = element_count(a_) + element_count(b_);
            if (live_instances<value_type>() >= 0 &&
                live_instances<value_type>() != held + element_count(ma_) + element_count(mb_))
                report("the elements alive are not the elements held (a leak or a double destruction)");
            if (misused_instances<value_type>() != 0)
                report("an element was used or destroyed where it did not live");
            stats_.largest = std::max(stats_.largest, held);
            if (failed_)
                return step_;
        }
        return step_;
    }

    const figures& seen() const { return stats_; }
    // Leaves the global heap to the run's allocators: constructors then
    // always get one, and at() out of range (whose error holds its message
    // on the heap) is not tried.
    void off_the_heap() { on_heap_ = false; }

    // An empty string when `o` is sound and holds what `m` holds, in the
    // same order both ways; else what differs.
    template <class M>
    static std::string difference(const ours& o, const M& m) {
        const std::string fault = structure_fault(o);
        if (!fault.empty())
            return "verifier: " + fault;
        std::ostringstream out;
        const long n = element_count(m);
        if constexpr (has_size<ours>::value) {
            if (static_cast<long>(o.size()) != n || o.empty() != (n == 0) || o.max_size() < o.size()) {
                out << "size " << o.size() << ", expected " << n;
                return out.str();
            }
        }
        long i = 0;
        auto it = o.begin();
        for (const auto& v : m) {
            if (it == o.end() || !(*it == v)) {
                out << "element " << i << " should be " << v << ", is ";
                if (it == o.end())
                    return out.str() + "missing";
                out << *it;
                return out.str();
            }
            ++it, ++i;
        }
        if (it != o.end())
            return "the forward walk does not end at end()";
        if constexpr (bidirectional) {
            auto r = o.crbegin();
            for (auto w = m.crbegin(); w != m.crend(); ++w, ++r)
                if (r == o.crend() || !(*r == *w))
                    return "the backward walk differs";
            if (r != o.crend())
                return "the backward walk does not end at rend()";
        }
        if constexpr (random_access) {
            if (o.end() - o.begin() != n || o.cbegin() + n != o.cend())
                return "end() - begin() is not the size";
            for (long k = 0; k < n; ++k) {
                const value_type* p = std::addressof(o[static_cast<size_type>(k)]);
                if (p != std::addressof(o.begin()[k]) || p != std::addressof(*(o.end() - (n - k))))
                    return "operator[] and iterator arithmetic disagree";
                if constexpr (has_data<ours>::value) {
                    if (p != o.data() + k)
                        return "the elements are not contiguous from data()";
                }
            }
        }
        if constexpr (has_capacity<ours>::value) {
            if (o.capacity() < o.size())
                return "capacity() is below size()";
        }
        return std::string();
    }

private:
    void report(const std::string& what) {
        if (failed_)
            return;
        failed_ = true;
        std::ostringstream out;
        out << what << " after " << op_ << " (step " << step_ << ")";
        fail_(out.str());
    }
    template <class T, class U>
    void expect_eq(const T& got, const U& want, const char* what) {
        if (!(got == want)) {
            std::ostringstream out;
            out << what << ": ours " << got << ", the model's " << want;
            report(out.str());
        }
    }
    void expect(bool ok, const char* what) {
        if (!ok)
            report(what);
    }
    void expect_same(const char* which, const ours& o, const model& m, const allocator_type& alloc) {
        const std::string d = difference(o, m);
        if (!d.empty())
            report(std::string("container ") + which + ": " + d);
        if (!(o.get_allocator() == alloc))
            report(std::string("container ") + which + " holds the wrong allocator");
    }

    // Does `f` to a and to its model, in that order, and compares what it
    // returns (positions as distances from begin()). The choices are made
    // before, so that both calls do the same.
    template <class F>
    void both(const char* what, F f) {
        if (what != nullptr)
            op_ = what;
        if constexpr (std::is_void<decltype(f(a_))>::value) {
            f(a_);
            f(ma_);
        } else {
            const auto got = f(a_);
            expect_eq(got, f(ma_), "the result");
        }
    }
    // Whether `c` is ours and may be given its own elements where the
    // standard forbids it (aliasing ranges, assign(n, v[i])).
    template <class C>
    bool may_alias(const C& c) const {
        return static_cast<const void*>(&c) == static_cast<const void*>(&a_);
    }
    // `it` of `c` as a distance from begin().
    template <class C, class It>
    static long where(const C& c, It it) {
        return distance_of(c, it, element_count(c));
    }

    // ---- choices ----

    // A position from begin() to end(), the two ends often; before_begin()
    // to the last element for the *_after operations.
    long any_position(const ours& c) {
        const long n = element_count(c);
        const int k = src_.below(4);
        return (k == 0 ? 0 : k == 1 ? n : src_.below(static_cast<int>(n) + 1)) - (after_ops ? 1 : 0);
    }
    long any_element(const ours& c) { return src_.below(static_cast<int>(element_count(c))); }
    std::pair<long, long> any_range(const ours& c) {
        long i = src_.below(static_cast<int>(element_count(c)) + 1), j = any_position(c) + (after_ops ? 1 : 0);
        return i < j ? std::make_pair(i, j) : std::make_pair(j, i);
    }
    values fresh(int n) {
        values vs;
        for (int k = 0; k < n; ++k)
            vs.push_back(Kind::value(src_));
        return vs;
    }
    template <class It>
    static values copy_of(It first, It last) {
        values ws;
        for (; first != last; ++first)
            ws.push_back(duplicate(*first));
        return ws;
    }
    // `vs` as a range that copies, or moves when the elements cannot be
    // copied.
    static auto first_of(values& vs) {
        if constexpr (copyable)
            return vs.cbegin();
        else
            return std::make_move_iterator(vs.begin());
    }
    static auto last_of(values& vs) {
        if constexpr (copyable)
            return vs.cend();
        else
            return std::make_move_iterator(vs.end());
    }
    // Calls f(c, first, last) with a copy of `vs` as a forward or as a
    // single-pass range; the choice is made once for both containers.
    template <class F>
    auto with_range(const values& vs, F f) {
        const bool forward = src_.below(2) == 0;
        return [this, &vs, f, forward](auto& c) {
            values ws = copy_of(vs.begin(), vs.end());
            if (forward)
                return f(c, first_of(ws), last_of(ws));
            single_pass<decltype(first_of(ws))> in(first_of(ws), last_of(ws));
            auto r = f(c, in.begin(), in.end());
            expect(in.misuse() == 0, "a single-pass range was read twice");
            return r;
        };
    }

    // Moves a temporary made with allocator `alloc` into a or b.
    void adopt(ours&& c, model&& m) {
        const bool into_a = src_.below(2) == 0;
        const allocator_type alloc = c.get_allocator();
        (into_a ? a_ : b_) = std::move(c);
        (into_a ? ma_ : mb_) = std::move(m);
        if (pocma)
            (into_a ? ea_ : eb_).emplace(alloc);
    }
    bool same_allocators() const { return a_.get_allocator() == b_.get_allocator(); }

    // ---- the step ----

    // How a value is passed: a new one by const reference or by rvalue, or
    // one of the container's own elements (for copyable elements).
    enum { by_reference, by_rvalue, own_element };
    int any_form() { return !copyable ? by_rvalue : src_.below(a_.empty() ? 2 : 3); }

    // both(what, f(c, x)) with x passed in form `form`: `v`, or c's element
    // at `k`.
    template <class F>
    void with_value(const char* what, int form, const value_type& v, long k, F f) {
        static const char* const forms[] = {"(const value&)", "(value&&)", "(own element)"};
        op_.assign(what).append(forms[form]);
        both(nullptr, [&](auto& c) {
            if constexpr (copyable) {
                if (form == by_reference)
                    return f(c, v);
                if (form == own_element)
                    return f(c, *position(c, k));
            }
            return f(c, duplicate(v));
        });
    }

    // push_* or emplace_* at one end; returns whether the reference that
    // emplace_* returns (or back()/front() after push_*) is the new end
    // element, and its value.
    template <class C, class X>
    static std::pair<bool, value_type> push(C& c, bool back, bool emplace, X&& x) {
        if constexpr (has_back<C>::value) {
            if (back) {
                value_type& r =
                    emplace ? c.emplace_back(std::forward<X>(x)) : (c.push_back(std::forward<X>(x)), c.back());
                return {std::addressof(r) == std::addressof(c.back()), duplicate(r)};
            }
        }
        if constexpr (has_front_ops<C>::value || has_after_ops<C>::value) {
            value_type& r =
                emplace ? c.emplace_front(std::forward<X>(x)) : (c.push_front(std::forward<X>(x)), c.front());
            return {std::addressof(r) == std::addressof(c.front()), duplicate(r)};
        } else {
            return {false, value_type()};
        }
    }

    void one_step() {
        int op = src_.below(30);
        const long n = element_count(a_);
        // Small enough for whole comparisons after every step; when a grows
        // large, erase more.
        if (n > 300 && op < 24 && src_.below(2) == 0)
            op = 7;
        const value_type v = Kind::value(src_);
        const long i = any_position(a_), k = n > 0 ? any_element(a_) : 0;
        const auto count = static_cast<size_type>(src_.below(6));
        const int form = any_form();
        const bool emplace = src_.below(2) == 0;
        switch (op) {
        case 0:
        case 1: {
            const bool back = back_ops && (!front_ops || op == 0);
            // A full vector, often, so that an own element moves during its
            // insertion.
            if constexpr (has_shrink<ours>::value) {
                if (src_.below(2) == 0)
                    a_.shrink_to_fit();
            }
            if constexpr (has_capacity<ours>::value)
                stats_.aliased_at_capacity += form == own_element && a_.size() == a_.capacity();
            return with_value(back ? (emplace ? "emplace_back" : "push_back")
                                   : (emplace ? "emplace_front" : "push_front"),
                              form, v, k, [&](auto& c, auto&& x) { return push(c, back, emplace, KEL_TEST_FWD(x)); });
        }
        case 2:
        case 3:
            return with_value(
                emplace ? "emplace(position, x)" : "insert(position, x)", form, v, k, [&](auto& c, auto&& x) {
                    return where(c, emplace ? emplace_at(c, i, KEL_TEST_FWD(x)) : insert_at(c, i, KEL_TEST_FWD(x)));
                });
        case 4:
            if constexpr (copyable)
                return with_value("insert(position, n, x)", form, v, k,
                                  [&](auto& c, const value_type& x) { return where(c, insert_at(c, i, count, x)); });
            return;
        case 5:
            return insert_range(i);
        case 6:
            if (n == 0)
                return;
            if constexpr (back_ops) {
                if (!front_ops || src_.below(2) == 0)
                    return both("pop_back", [](auto& c) { c.pop_back(); });
            }
            if constexpr (front_ops)
                both("pop_front", [](auto& c) { c.pop_front(); });
            return;
        case 7:
            return erase_some();
        case 8: {
            const auto to = static_cast<size_type>(emplace ? src_.below(static_cast<int>(n) + 1) : n + src_.below(20));
            if constexpr (copyable) {
                if (src_.below(2) == 0)
                    return with_value("resize(n, x)", form, v, k,
                                      [&](auto& c, const value_type& x) { c.resize(to, x); });
            }
            return both("resize(n)", [&](auto& c) { c.resize(to); });
        }
        case 9:
            return capacity();
        case 10:
            return access();
        case 11:
            return construct();
        case 12:
            return assign(form, v, k);
        case 13:
            return copy_and_move_assign();
        case 14:
            return swap_containers();
        case 15:
            return compare();
        case 16:
            return erase_if_and_erase();
        case 17:
            return grow();
        case 18:
            return splice();
        case 19:
            return merge_and_sort();
        case 20:
            return unique_and_remove(k);
        case 21:
            if constexpr (list_ops)
                both("reverse", [](auto& c) { c.reverse(); });
            return;
        case 22: {
            // Elements into b, for the operations between a and b.
            op_ = "insert into b";
            values vs = fresh(src_.below(8)), ws = copy_of(vs.begin(), vs.end());
            const long j = src_.below(static_cast<int>(element_count(b_)) + 1) - (after_ops ? 1 : 0);
            insert_at(b_, j, first_of(vs), last_of(vs));
            insert_at(mb_, j, first_of(ws), last_of(ws));
            return;
        }
        case 23:
            if (src_.below(8) == 0)
                return both("clear", [](auto& c) { c.clear(); });
            [[fallthrough]];
        default:
            return n > 60 ? erase_some()
                          : both("insert(position, value&&)", [&](auto& c) { insert_at(c, i, duplicate(v)); });
        }
    }

    // Range insertion: an initializer list, a forward or a single-pass range
    // (now and then a long one), or a range of the container's own elements.
    void insert_range(long i) {
        const int how = src_.below(4);
        if constexpr (copyable) {
            if (how == 0) {
                const std::initializer_list<value_type> il{Kind::value(src_), Kind::value(src_)};
                return both("insert(position, initializer_list)",
                            [&](auto& c) { return where(c, insert_at(c, i, il)); });
            }
            if (how == 1) {
                const auto r = any_range(a_);
                return both("insert(position, own range)", [&](auto& c) {
                    if (may_alias(c))
                        return where(c, insert_at(c, i, position(c, r.first), position(c, r.second)));
                    values copy = copy_of(position(c, r.first), position(c, r.second));
                    return where(c, insert_at(c, i, copy.begin(), copy.end()));
                });
            }
        }
        const values vs = fresh(src_.below(how == 3 ? 40 : 6));
        both("insert(position, first, last)",
             with_range(vs, [&](auto& c, auto first, auto last) { return where(c, insert_at(c, i, first, last)); }));
    }

    void erase_some() {
        const long n = element_count(a_);
        if (n == 0)
            return;
        const long k = any_element(a_);
        auto r = any_range(a_);
        if (n > 300)
            r = std::make_pair(static_cast<long>(src_.below(50)), n);
        if constexpr (after_ops) {
            if (src_.below(2) == 0)
                return both("erase_after(position)",
                            [&](auto& c) { return where(c, c.erase_after(position(c, k - 1))); });
            // The open range (first, last).
            const long f = r.first - 1, l = std::max(r.second, r.first);
            return both("erase_after(first, last)",
                        [&](auto& c) { return where(c, c.erase_after(position(c, f), position(c, l))); });
        } else {
            if (src_.below(2) == 0)
                return both("erase(position)", [&](auto& c) { return where(c, c.erase(position(c, k))); });
            both("erase(first, last)",
                 [&](auto& c) { return where(c, c.erase(position(c, r.first), position(c, r.second))); });
        }
    }

    // reserve (which keeps every element in place when it does not grow
    // the buffer) and shrink_to_fit.
    void capacity() {
        if constexpr (has_capacity<ours>::value) {
            op_ = "reserve";
            const auto cap = a_.capacity();
            if (src_.below(2) == 0) {
                const value_type* const first = a_.data();
                a_.reserve(static_cast<size_type>(src_.below(static_cast<int>(cap) + 1)));
                expect(a_.capacity() == cap && a_.data() == first, "reserve below the capacity reallocated");
            } else {
                const auto want = cap + static_cast<size_type>(src_.below(100));
                a_.reserve(want);
                expect(a_.capacity() >= want, "reserve fell short");
            }
        }
        if constexpr (has_shrink<ours>::value) {
            if (src_.below(2) == 0) {
                op_ = "shrink_to_fit";
                a_.shrink_to_fit();
            }
        }
    }

    // front, back, operator[], at (in range and out of it), data, and
    // iterator arithmetic.
    void access() {
        op_ = "element access";
        const ours& ca = a_;
        const long n = element_count(a_);
        if (n > 0) {
            expect_eq(a_.front(), ma_.front(), "front()");
            expect(std::addressof(ca.front()) == std::addressof(*a_.begin()), "front() is not *begin()");
            if constexpr (back_ops) {
                expect_eq(a_.back(), ma_.back(), "back()");
                expect(std::addressof(ca.back()) == std::addressof(*std::prev(a_.end())), "back() is not end()[-1]");
            }
        }
        if constexpr (random_access) {
            if (n > 0) {
                const long i = any_element(a_), j = any_element(a_);
                const auto u = static_cast<size_type>(i);
                expect_eq(a_[u], ma_[u], "operator[]");
                expect(std::addressof(a_.at(u)) == std::addressof(a_[u]) &&
                           std::addressof(ca.at(u)) == std::addressof(a_[u]),
                       "at() is not operator[]");
                const auto p = a_.begin() + i;
                const auto q = a_.cbegin() + j;
                expect(q - p == j - i && (p < q) == (i < j) && (p <= q) == (i <= j) && (q > p) == (i < j) &&
                           (q >= p) == (j >= i) && p + (j - i) == q && q - (j - i) == p && p[j - i] == *q,
                       "iterator arithmetic");
                expect_eq(a_.rbegin()[i], ma_.rbegin()[i], "rbegin()[i]");
            }
            const auto beyond = static_cast<size_type>(n + src_.below(3));
            if (on_heap_) {
                expect_out_of_range([&] { static_cast<void>(a_.at(beyond)); });
                expect_out_of_range([&] { static_cast<void>(ca.at(beyond)); });
            }
        }
        if constexpr (has_data<ours>::value) {
            if (n > 0)
                expect(a_.data() == std::addressof(a_.front()) && ca.data() == a_.data(), "data() is not front()");
        }
    }

    template <class F>
    void expect_out_of_range(F f) {
        try {
            f();
        } catch (const kel_std::out_of_range&) {
            return;
        }
        report("at() out of range did not throw out_of_range");
    }

    // Every constructor, into a temporary that is compared with the model's
    // and then moved into a or b.
    void construct() {
        const allocator_type& alloc = src_.below(2) == 0 ? alloc_ : other_;
        const bool extended = src_.below(2) == 0 || !on_heap_;
        const allocator_type want = extended ? alloc : allocator_type();
        const auto count = static_cast<size_type>(src_.below(8));
        const value_type x = Kind::value(src_);
        switch (src_.below(6)) {
        case 0:
            op_ = "construct(n)";
            return check_constructed(extended ? ours(count, alloc) : ours(count), model(count), want);
        case 1:
            if constexpr (copyable) {
                op_ = "construct(n, value)";
                return check_constructed(extended ? ours(count, x, alloc) : ours(count, x), model(count, x), want);
            }
            [[fallthrough]];
        case 2: {
            op_ = "construct(first, last)";
            const values vs = fresh(src_.below(9));
            std::optional<ours> c;
            std::optional<model> m;
            const auto make = with_range(vs, [&](auto& o, auto first, auto last) {
                if constexpr (std::is_same<std::decay_t<decltype(o)>, std::optional<ours>>::value) {
                    if (extended)
                        return o.emplace(first, last, alloc), 0;
                }
                return o.emplace(first, last), 0;
            });
            make(c), make(m);
            return check_constructed(std::move(*c), std::move(*m), want);
        }
        case 3:
            if constexpr (copyable) {
                op_ = "construct(initializer_list)";
                const value_type y = Kind::value(src_);
                return check_constructed(extended ? ours({x, y, x}, alloc) : ours({x, y, x}), model({x, y, x}), want);
            }
            [[fallthrough]];
        case 4:
            if constexpr (copyable) {
                op_ = "copy construction";
                return check_constructed(extended ? ours(a_, alloc) : ours(a_), model(ma_),
                                         extended ? alloc
                                                  : traits::select_on_container_copy_construction(a_.get_allocator()));
            }
            [[fallthrough]];
        default: {
            // A plain move empties the source; after an extended one, with
            // unequal allocators, its elements are moved-from: it is then
            // assigned to.
            op_ = extended ? "move construction with an allocator" : "move construction";
            ours c = extended ? ours(std::move(a_), alloc) : ours(std::move(a_));
            const std::string fault = structure_fault(a_);
            expect(fault.empty() && (extended || a_.empty()), "the moved-from container is not valid and empty");
            expect_same("moved into", c, ma_, extended ? alloc : *ea_);
            const allocator_type moved = c.get_allocator();
            a_ = std::move(c);
            if (pocma)
                ea_.emplace(moved);
        }
        }
    }

    void check_constructed(ours&& c, model&& m, const allocator_type& want) {
        expect_same("constructed", c, m, want);
        adopt(std::move(c), std::move(m));
    }

    // assign(n, x), assign(first, last) of every kind and of the
    // container's own elements, assign(il), operator=(il). The standard
    // forbids own elements for the first two; ours takes them.
    void assign(int form, const value_type& x, long k) {
        const auto count = static_cast<size_type>(src_.below(8));
        const auto r = any_range(a_);
        if constexpr (copyable) {
            const value_type y = Kind::value(src_);
            switch (src_.below(5)) {
            case 0:
                return with_value("assign(n, x)", form, x, k, [&](auto& c, const value_type& z) {
                    const value_type copy = z;
                    c.assign(count, may_alias(c) ? z : copy);
                });
            case 1:
                return both("assign(own range)", [&](auto& c) {
                    values copy = copy_of(position(c, r.first), position(c, r.second));
                    if (may_alias(c))
                        c.assign(position(c, r.first), position(c, r.second));
                    else
                        c.assign(copy.begin(), copy.end());
                });
            case 2:
                return both("assign(initializer_list)", [&](auto& c) { c.assign({x, y}); });
            case 3:
                return both("operator=(initializer_list)", [&](auto& c) { c = {y, x, y}; });
            default:
                break;
            }
        }
        const values vs = fresh(src_.below(12));
        both("assign(first, last)", with_range(vs, [&](auto& c, auto first, auto last) {
                 c.assign(first, last);
                 return 0;
             }));
    }

    // Copy and move assignment between a and b, either way, and to self.
    void copy_and_move_assign() {
        const bool a_to_b = src_.below(2) == 0;
        ours& from = a_to_b ? a_ : b_;
        ours& to = a_to_b ? b_ : a_;
        model& mfrom = a_to_b ? ma_ : mb_;
        model& mto = a_to_b ? mb_ : ma_;
        const allocator_type from_alloc = from.get_allocator();
        std::optional<allocator_type>& eto = a_to_b ? eb_ : ea_;
        switch (src_.below(3)) {
        case 0:
            if constexpr (copyable) {
                op_ = "copy assignment";
                to = from;
                mto = mfrom;
                if (traits::propagate_on_container_copy_assignment::value)
                    eto.emplace(from_alloc);
                return;
            }
            [[fallthrough]];
        case 1:
            op_ = "move assignment";
            to = std::move(from);
            mto = std::move(mfrom);
            if (pocma)
                eto.emplace(from_alloc);
            break;
        default: {
            op_ = "self assignment";
            ours& self = from;
            if constexpr (copyable) {
                from = static_cast<const ours&>(self);
                expect_same("self-assigned", from, mfrom, from_alloc);
            }
            // A self move assignment leaves the container valid, its contents
            // unspecified.
            from = std::move(self);
            break;
        }
        }
        // A moved-from container is valid: make it and its model agree.
        from.clear();
        mfrom.clear();
    }

    // Member and non-member swap of a and b, or of one of them and a
    // temporary with the other allocator (never when the allocators differ
    // and do not propagate: that is undefined).
    void swap_containers() {
        if (src_.below(3) == 0) {
            const bool with_a = src_.below(2) == 0;
            ours& target = with_a ? a_ : b_;
            std::optional<allocator_type>& expected = with_a ? ea_ : eb_;
            if (!pocs && !(target.get_allocator() == other_))
                return;
            op_ = "swap with a container of the other allocator";
            ours c(other_);
            model m;
            values vs = fresh(src_.below(5)), ws = copy_of(vs.begin(), vs.end());
            insert_at(c, after_ops ? -1 : 0, first_of(vs), last_of(vs));
            insert_at(m, after_ops ? -1 : 0, first_of(ws), last_of(ws));
            c.swap(target);
            m.swap(with_a ? ma_ : mb_);
            expect_same("swapped out", c, m, pocs ? *expected : other_);
            if (pocs)
                expected.emplace(other_);
            return;
        }
        if (!pocs && !same_allocators())
            return;
        op_ = "swap";
        if (src_.below(2) == 0)
            a_.swap(b_);
        else
            swap(a_, b_);
        ma_.swap(mb_);
        if (pocs) {
            const allocator_type t = *ea_;
            ea_.emplace(*eb_);
            eb_.emplace(t);
        }
    }

    void compare() {
        op_ = "comparisons";
        expect_eq(a_ == b_, ma_ == mb_, "==");
        expect_eq(a_ != b_, ma_ != mb_, "!=");
        expect_eq(a_ < b_, ma_ < mb_, "<");
        expect_eq(a_ <= b_, ma_ <= mb_, "<=");
        expect_eq(a_ > b_, ma_ > mb_, ">");
        expect_eq(a_ >= b_, ma_ >= mb_, ">=");
        const ours& same = a_;
        expect(a_ == same && !(a_ < same) && a_ <= same, "a container does not equal itself");
#if KEL_STD_THREE_WAY_COMPARISON
        const auto o = a_ <= > b_;
        const auto m = ma_ <= > mb_;
        expect(std::is_lt(o) == std::is_lt(m) && std::is_eq(o) == std::is_eq(m) && std::is_gt(o) == std::is_gt(m),
               "<=>");
#endif
    }

    // The non-member erase and erase_if, with the counts they return; on the
    // model by hand.
    void erase_if_and_erase() {
        const int m = 2 + src_.below(4), r = src_.below(m);
        const value_type v = a_.empty() ? Kind::value(src_) : duplicate(*position(a_, any_element(a_)));
        const bool by_value = src_.below(2) == 0;
        const auto doomed = [&](const value_type& x) { return by_value ? x == v : key_of(x) % m == r; };
        op_ = by_value ? "erase(c, value)" : "erase_if(c, predicate)";
        const auto erased = static_cast<long>(by_value ? erase(a_, v) : erase_if(a_, doomed));
        expect_eq(erased, remove_by_hand(ma_, doomed), "count");
    }

    template <class C, class P>
    static long remove_by_hand(C& c, P doomed) {
        const long before = element_count(c);
        if constexpr (has_splice<C>::value || has_after_ops<C>::value)
            c.remove_if(doomed);
        else
            c.erase(std::remove_if(c.begin(), c.end(), doomed), c.end());
        return before - element_count(c);
    }

    // Now and then a few hundred elements (several blocks of a deque).
    void grow() {
        if (element_count(a_) > 60 || src_.below(3) != 0)
            return;
        const values vs = fresh(100 + src_.below(300));
        const long end = element_count(a_) - (after_ops ? 1 : 0);
        both("grow by a few hundred elements",
             with_range(vs, [&](auto& c, auto first, auto last) { return where(c, insert_at(c, end, first, last)); }));
    }

    // splice (list) and splice_after (forward_list) in every form, from b
    // (when the allocators are equal) and within a.
    void splice() {
        if constexpr (list_ops) {
            const long n = element_count(a_), nb = element_count(b_);
            const long i = any_position(a_);
            const auto r = any_range(b_);
            const long kb = nb > 0 ? src_.below(static_cast<int>(nb)) : 0;
            // A range of a without the position: [f, l) for splice, (f, l)
            // for splice_after.
            const long f = src_.below(static_cast<int>(n) + 1) - (after_ops ? 1 : 0);
            long l = f + (after_ops ? 1 : 0) + src_.below(static_cast<int>(n - f) + (after_ops ? 0 : 1));
            if ((after_ops ? f < i : f <= i) && i < l)
                l = i;
            const long k = n > 0 ? src_.below(static_cast<int>(n)) - (after_ops ? 1 : 0) : 0;
            const bool from_b = same_allocators() && src_.below(3) != 0;
            const bool rvalue = src_.below(2) == 0;
            if (from_b) {
                switch (src_.below(3)) {
                case 0:
                    return splice_both("splice(position, other)", [&](auto& c, auto& o) {
                        rvalue ? splice(c, i, std::move(o)) : splice(c, i, o);
                    });
                case 1:
                    if (nb == 0)
                        return;
                    return splice_both("splice(position, other, it)", [&](auto& c, auto& o) {
                        splice(c, i, o, position(o, kb - (after_ops ? 1 : 0)));
                    });
                default:
                    return splice_both("splice(position, other, first, last)", [&](auto& c, auto& o) {
                        splice(c, i, o, position(o, r.first - (after_ops ? 1 : 0)), position(o, r.second));
                    });
                }
            }
            if (n == 0)
                return;
            if (src_.below(2) == 0)
                return both("splice(position, self, it)", [&](auto& c) { splice(c, i, c, position(c, k)); });
            both("splice(position, self, first, last)",
                 [&](auto& c) { splice(c, i, c, position(c, f), position(c, l)); });
        }
    }

    template <class F>
    void splice_both(const char* what, F f) {
        op_ = what;
        f(a_, b_);
        f(ma_, mb_);
    }
    template <class C, class... Args>
    static void splice(C& c, long i, Args&&... args) {
        if constexpr (has_after_ops<C>::value)
            c.splice_after(position(c, i), std::forward<Args>(args)...);
        else
            c.splice(position(c, i), std::forward<Args>(args)...);
    }

    // sort, which must be stable (sorting by a coarser key leaves
    // equivalent elements in their order, which the model shows), and merge
    // of sorted containers, from b or from a itself (no effect).
    void merge_and_sort() {
        if constexpr (list_ops) {
            const bool keyed = src_.below(2) == 0;
            const int how = src_.below(3);
            if (how == 0)
                return keyed ? both("sort(compare)", [](auto& c) { c.sort(by_key()); })
                             : both("sort()", [](auto& c) { c.sort(); });
            const auto sorted = [keyed](auto& c) { keyed ? c.sort(by_key()) : c.sort(); };
            sorted(a_), sorted(ma_), sorted(b_), sorted(mb_);
            if (how == 1 || !same_allocators())
                return keyed ? both("merge(self, compare)", [](auto& c) { c.merge(c, by_key()); })
                             : both("merge(self)", [](auto& c) { c.merge(c); });
            const bool rvalue = src_.below(2) == 0;
            splice_both(keyed ? "merge(other, compare)" : "merge(other)", [&](auto& c, auto& o) {
                if (keyed)
                    rvalue ? c.merge(std::move(o), by_key()) : c.merge(o, by_key());
                else
                    rvalue ? c.merge(std::move(o)) : c.merge(o);
            });
        }
    }

    // The count that remove, remove_if and unique return (void in the
    // standard library before C++20: then the change of size).
    template <class C, class F>
    static long removed_by(C& c, F f) {
        const long before = element_count(c);
        if constexpr (std::is_void<decltype(f(c))>::value) {
            f(c);
            return before - element_count(c);
        } else {
            return static_cast<long>(f(c));
        }
    }

    // unique, remove of a value (often one of the container's own, which
    // the removal destroys) and remove_if.
    void unique_and_remove(long k) {
        if constexpr (list_ops) {
            const value_type v = Kind::value(src_);
            const int key = src_.below(4);
            switch (a_.empty() ? 1 + src_.below(4) : src_.below(5)) {
            case 0:
                return both("remove(own element)",
                            [&](auto& c) { return removed_by(c, [&](auto& d) { return d.remove(*position(d, k)); }); });
            case 1:
                return both("remove(value)",
                            [&](auto& c) { return removed_by(c, [&](auto& d) { return d.remove(v); }); });
            case 2:
                return both("remove_if", [&](auto& c) {
                    return removed_by(c, [&](auto& d) {
                        return d.remove_if([key](const value_type& x) { return key_of(x) % 4 == key; });
                    });
                });
            case 3:
                return both("unique()", [](auto& c) { return removed_by(c, [](auto& d) { return d.unique(); }); });
            default:
                return both("unique(predicate)",
                            [](auto& c) { return removed_by(c, [](auto& d) { return d.unique(same_key()); }); });
            }
        }
    }

    source& src_;
    std::function<void(const std::string&)> fail_;
    bool failed_ = false;
    const allocator_type alloc_, other_;
    ours a_, b_;
    model ma_, mb_;
    // The allocators that a and b must hold (in std::optional: some
    // allocators, std::pmr's among them, cannot be assigned).
    std::optional<allocator_type> ea_, eb_;
    figures stats_;
    bool on_heap_ = true;
    long step_ = 0;
    std::string op_;
};

#undef KEL_TEST_FWD

} // namespace kel_test

#endif
