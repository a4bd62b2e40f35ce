// Tests of the string as a value type: a randomized differential run of the
// whole std::string interface against std::string, with the record's
// invariants checked after every step; failure injection at every allocation
// point of every allocating operation; errors; growth; interoperation with
// the standard library; hashing.
//
// KEL_STD_TEST_SCALE (a percentage; .ci/reliability.sh sets 10 for valgrind)
// scales the random steps; Debug builds (KEL_STD_DEBUG) run a quarter.
#include "support/counting_heap.h"
#include "support/recording_manager.h"
#include "support/test_scale.h"

#include <kel_std/basic_string.h>
#include <kel_std/errors.h>
#include <kel_std/hash.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <list>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

using kel_std::allocator;
using kel_test::heap_watch;
using kel_test::manager_call;
using kel_test::manager_failure;
using kel_test::recording_manager;
typedef kel_std::string kstring;

namespace {

const unsigned knpos = kstring::npos;

std::string text_of(const kstring& s) {
    return std::string(s.c_str(), s.size());
}

// The record's invariants; "" or the first violation.
std::string record_problem(const kstring& s) {
    if (s.data == nullptr)
        return s.length == 0 && s.capacity == 0 ? "" : "no buffer but a non-zero length or capacity";
    if (s.capacity % 16 != 0)
        return "capacity not a multiple of 16";
    if (s.length >= s.capacity)
        return "length not below capacity";
    if (s.data[s.length] != '\0')
        return "no NUL at data[length]";
    return "";
}

// Bytes behind the text that no text in this buffer ever reached must still
// be zero: the buffer arrived zero-filled and nothing writes past the text's
// end but its terminator. `high` maps each live buffer to the longest text it
// has held.
std::string untouched_problem(const kstring& s, std::map<const char*, unsigned>& high) {
    if (s.data == nullptr)
        return "";
    auto it = high.find(s.data);
    unsigned from = s.length;
    if (it != high.end())
        from = std::max(from, it->second);
    for (unsigned i = from + 1; i < s.capacity; ++i)
        if (s.data[i] != '\0')
            return "non-zero byte " + std::to_string(i) + " behind the text";
    high[s.data] = from;
    return "";
}

// Outcome of one call on either side: whether it threw the out-of-range
// error of its library, and its result as a number.
struct outcome {
    bool threw;
    long long value;
    bool operator==(const outcome& o) const { return threw == o.threw && (threw || value == o.value); }
};

long long number(int v) {
    return v < 0 ? -1 : v > 0 ? 1 : 0; // comparisons: the sign only
}
long long number(unsigned v) {
    return v == knpos ? -1 : static_cast<long long>(v);
}
long long number(std::size_t v) {
    return v == std::string::npos ? -1 : static_cast<long long>(v);
}

// The offset of an iterator that an operation returned; the call is complete
// before begin() is read (it may have moved the text).
template <class S, class It>
long long offset(S& s, It it) {
    return it - s.begin();
}

template <class F>
outcome on_kel(F f) {
    try {
        return outcome{false, number(f())};
    } catch (const kel_std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "out of range error");
        return outcome{true, 0};
    }
}

template <class F>
outcome on_std(F f) {
    try {
        return outcome{false, number(f())};
    } catch (const std::out_of_range&) {
        return outcome{true, 0};
    }
}

// The differential run: three strings (two share a recording manager, one
// uses the heap) and their std::string models, driven by one generator.
class differential {
public:
    explicit differential(unsigned seed) : rng_(seed) {}

    std::mt19937 rng_;
    recording_manager manager_;
    kstring s_[3] = {kstring(allocator<char>(&manager_)), kstring(), kstring(allocator<char>(&manager_))};
    std::string m_[3];
    std::map<const char*, unsigned> high_;
    long steps_ = 0;

    unsigned below(unsigned n) { return n == 0 ? 0 : static_cast<unsigned>(rng_() % n); }
    bool chance(unsigned percent) { return below(100) < percent; }

    std::string random_text() {
        const unsigned kind = below(10);
        const unsigned n = kind < 4 ? below(9) : kind < 9 ? below(41) : below(301);
        std::string t(n, '\0');
        for (char& c : t)
            c = chance(10) ? '\0' : static_cast<char>(chance(70) ? 'a' + below(4) : below(256));
        return t;
    }
    // A position: usually inside the text or at its end, sometimes past it.
    unsigned position(std::size_t size) {
        if (chance(5))
            return chance(50) ? knpos : static_cast<unsigned>(size) + 1 + below(3);
        return below(static_cast<unsigned>(size) + 1);
    }
    unsigned count(std::size_t size) { return chance(15) ? knpos : below(static_cast<unsigned>(size) + 4); }

    // A run of characters for both sides: from a fresh text, or from the
    // target's own text (the same offset and count on both sides).
    struct source {
        const char* kel;
        const char* model;
        unsigned n;
        std::string own; // keeps a fresh text alive
    };
    source pick_source(const kstring& s, const std::string& m) {
        source src;
        if (!m.empty() && chance(35)) {
            const unsigned from = below(static_cast<unsigned>(m.size()));
            src.n = below(static_cast<unsigned>(m.size()) - from + 1);
            src.kel = s.c_str() + from;
            src.model = m.data() + from;
            return src;
        }
        src.own = random_text();
        src.kel = src.model = src.own.data();
        src.n = static_cast<unsigned>(src.own.size());
        return src;
    }

    void step();
    void check(int which, const char* op);
};

void differential::check(int which, const char* op) {
    const kstring& s = s_[which];
    ASSERT_EQ(text_of(s), m_[which]) << "after " << op << ", step " << steps_;
    ASSERT_EQ(s.size(), m_[which].size());
    ASSERT_EQ(record_problem(s), "") << "after " << op << ", step " << steps_;
    ASSERT_EQ(untouched_problem(s, high_), "") << "after " << op << ", step " << steps_;
    ASSERT_EQ(s.c_str()[s.size()], '\0');
}

void differential::step() {
    const int t = static_cast<int>(below(3));
    const int u = static_cast<int>(below(3));
    kstring& s = s_[t];
    std::string& m = m_[t];
    kstring& o = s_[u]; // another string, or the same one
    std::string& om = m_[u];
    const char* name = "";
    outcome k{false, 0}, d{false, 0};
    char* const old_data = s.data;
    const unsigned old_capacity = s.capacity;

    switch (below(38)) {
    case 0: {
        name = "append(s, n)";
        source src = pick_source(s, m);
        k = on_kel([&] { return s.append(src.kel, src.n).size(); });
        d = on_std([&] { return static_cast<unsigned>(m.append(src.model, src.n).size()); });
        break;
    }
    case 1: {
        name = "append / += (C string, other string, std::string, string_view)";
        const std::string text = random_text();
        switch (below(5)) {
        case 0:
            s.append(text.c_str()), m.append(text.c_str());
            break;
        case 1:
            s += o, m += om; // o may be s itself
            break;
        case 2:
            s += text, m += text;
            break;
        case 3:
            s += std::string_view(text), m += std::string_view(text);
            break;
        default:
            k = on_kel([&] { return s.append(std::string_view(text), 1, 5).size(); });
            d = on_std([&] { return static_cast<unsigned>(m.append(std::string_view(text), 1, 5).size()); });
        }
        break;
    }
    case 2: {
        name = "append(str, pos, n)";
        const unsigned pos = position(om.size()), n = count(om.size());
        k = on_kel([&] { return s.append(o, pos, n).size(); });
        d = on_std([&] { return static_cast<unsigned>(m.append(om, pos, n).size()); });
        break;
    }
    case 3: {
        name = "append(n, c) / push_back / +=(c)";
        const char c = static_cast<char>(below(256));
        const unsigned n = below(40);
        if (chance(50)) {
            s.append(n, c), m.append(n, c);
        } else {
            for (unsigned i = 0; i < n; ++i) {
                if (chance(50))
                    s.push_back(c);
                else
                    s += c;
                m.push_back(c);
            }
        }
        break;
    }
    case 4: {
        name = "append(first, last)";
        if (chance(50) && !m.empty()) { // a range of its own text
            const unsigned a = below(static_cast<unsigned>(m.size()) + 1);
            const unsigned b = a + below(static_cast<unsigned>(m.size()) - a + 1);
            s.append(s.cbegin() + a, s.cbegin() + b), m.append(m.begin() + a, m.begin() + b);
        } else { // single-pass characters
            const std::string text = random_text();
            std::istringstream in1(text), in2(text);
            s.append(std::istreambuf_iterator<char>(in1), std::istreambuf_iterator<char>());
            m.append(std::istreambuf_iterator<char>(in2), std::istreambuf_iterator<char>());
        }
        break;
    }
    case 5:
        name = "pop_back";
        if (!m.empty())
            s.pop_back(), m.pop_back();
        break;
    case 6: {
        name = "insert(pos, s, n)";
        const unsigned pos = position(m.size());
        source src = pick_source(s, m);
        k = on_kel([&] { return s.insert(pos, src.kel, src.n).size(); });
        d = on_std([&] { return static_cast<unsigned>(m.insert(pos, src.model, src.n).size()); });
        break;
    }
    case 7: {
        name = "insert(pos, n, c) / insert(pos, C string)";
        const unsigned pos = position(m.size()), n = below(30);
        const char c = static_cast<char>(below(256));
        if (chance(50)) {
            k = on_kel([&] { return s.insert(pos, n, c).size(); });
            d = on_std([&] { return static_cast<unsigned>(m.insert(pos, n, c).size()); });
        } else {
            const unsigned from = below(static_cast<unsigned>(m.size()) + 1);
            k = on_kel([&] { return s.insert(pos, s.c_str() + from).size(); }); // up to the first NUL
            d = on_std([&] { return static_cast<unsigned>(m.insert(pos, m.c_str() + from).size()); });
        }
        break;
    }
    case 8: {
        name = "insert(pos, str, pos2, n)";
        const unsigned pos = position(m.size()), pos2 = position(om.size()), n = count(om.size());
        k = on_kel([&] { return s.insert(pos, o, pos2, n).size(); });
        d = on_std([&] { return static_cast<unsigned>(m.insert(pos, om, pos2, n).size()); });
        break;
    }
    case 9: {
        name = "insert(iterator, c / n c / range)";
        const unsigned pos = below(static_cast<unsigned>(m.size()) + 1);
        const char c = static_cast<char>(below(256));
        long long ki = 0, di = 0;
        switch (below(3)) {
        case 0:
            ki = offset(s, s.insert(s.cbegin() + pos, c));
            di = offset(m, m.insert(m.cbegin() + pos, c));
            break;
        case 1: {
            const unsigned n = below(20);
            ki = offset(s, s.insert(s.cbegin() + pos, n, c));
            di = offset(m, m.insert(m.cbegin() + pos, n, c));
            break;
        }
        default: {
            const unsigned a = below(static_cast<unsigned>(m.size()) + 1);
            const unsigned b = a + below(static_cast<unsigned>(m.size()) - a + 1);
            ki = offset(s, s.insert(s.cbegin() + pos, s.begin() + a, s.begin() + b));
            di = offset(m, m.insert(m.cbegin() + pos, m.begin() + a, m.begin() + b));
        }
        }
        k.value = ki, d.value = di;
        break;
    }
    case 10: {
        name = "erase(pos, n)";
        const unsigned pos = position(m.size()), n = count(m.size());
        k = on_kel([&] { return s.erase(pos, n).size(); });
        d = on_std([&] { return static_cast<unsigned>(m.erase(pos, n).size()); });
        break;
    }
    case 11: {
        name = "erase(iterator) / erase(first, last)";
        if (m.empty())
            break;
        const unsigned a = below(static_cast<unsigned>(m.size()));
        if (chance(50)) {
            k.value = offset(s, s.erase(s.cbegin() + a));
            d.value = offset(m, m.erase(m.cbegin() + a));
        } else {
            const unsigned b = a + below(static_cast<unsigned>(m.size()) - a + 1);
            k.value = offset(s, s.erase(s.cbegin() + a, s.cbegin() + b));
            d.value = offset(m, m.erase(m.cbegin() + a, m.cbegin() + b));
        }
        break;
    }
    case 12:
    case 13: {
        name = "replace(pos, n, s, n2)";
        const unsigned pos = position(m.size()), n = count(m.size());
        source src = pick_source(s, m);
        k = on_kel([&] { return s.replace(pos, n, src.kel, src.n).size(); });
        d = on_std([&] { return static_cast<unsigned>(m.replace(pos, n, src.model, src.n).size()); });
        break;
    }
    case 14: {
        name = "replace(pos, n, n2, c) / replace(pos, n, str, pos2, n2)";
        const unsigned pos = position(m.size()), n = count(m.size());
        if (chance(50)) {
            const unsigned n2 = below(30);
            const char c = static_cast<char>(below(256));
            k = on_kel([&] { return s.replace(pos, n, n2, c).size(); });
            d = on_std([&] { return static_cast<unsigned>(m.replace(pos, n, n2, c).size()); });
        } else {
            const unsigned pos2 = position(om.size()), n2 = count(om.size());
            k = on_kel([&] { return s.replace(pos, n, o, pos2, n2).size(); });
            d = on_std([&] { return static_cast<unsigned>(m.replace(pos, n, om, pos2, n2).size()); });
        }
        break;
    }
    case 15: {
        name = "replace(first, last, ...)";
        const unsigned a = below(static_cast<unsigned>(m.size()) + 1);
        const unsigned b = a + below(static_cast<unsigned>(m.size()) - a + 1);
        const unsigned c = below(static_cast<unsigned>(m.size()) + 1);
        const unsigned e = c + below(static_cast<unsigned>(m.size()) - c + 1);
        if (chance(50)) {
            s.replace(s.cbegin() + a, s.cbegin() + b, s.begin() + c, s.begin() + e);
            m.replace(m.cbegin() + a, m.cbegin() + b, m.begin() + c, m.begin() + e);
        } else {
            source src = pick_source(s, m);
            s.replace(s.cbegin() + a, s.cbegin() + b, src.kel, src.n);
            m.replace(m.cbegin() + a, m.cbegin() + b, src.model, src.n);
        }
        break;
    }
    case 16: {
        name = "resize";
        const unsigned n = below(static_cast<unsigned>(m.size()) + 40);
        if (chance(50))
            s.resize(n), m.resize(n);
        else
            s.resize(n, 'r'), m.resize(n, 'r');
        break;
    }
    case 17: {
        name = "assign(...)";
        source src = pick_source(s, m);
        switch (below(6)) {
        case 0:
            s.assign(src.kel, src.n), m.assign(src.model, src.n);
            break;
        case 1: {
            const unsigned n = below(60);
            s.assign(n, 'z'), m.assign(n, 'z');
            break;
        }
        case 2: {
            const unsigned pos = position(om.size()), n = count(om.size());
            k = on_kel([&] { return s.assign(o, pos, n).size(); });
            d = on_std([&] { return static_cast<unsigned>(m.assign(om, pos, n).size()); });
            break;
        }
        case 3: {
            const std::string text = random_text();
            const std::list<char> chars(text.begin(), text.end());
            s.assign(chars.begin(), chars.end()), m.assign(chars.begin(), chars.end());
            break;
        }
        case 4: {
            const std::string text = random_text();
            s = text.c_str(), m = text.c_str();
            break;
        }
        default: {
            const std::string text = random_text();
            if (chance(50))
                s = text, m = text;
            else
                s = std::string_view(text), m = std::string_view(text);
        }
        }
        break;
    }
    case 18:
        name = "clear / reserve / shrink_to_fit";
        if (chance(30)) {
            s.clear(), m.clear();
        } else {
            const unsigned n = below(200);
            s.reserve(n);
            m.reserve(n);
            EXPECT_TRUE(n == 0 || s.capacity > n);
            s.shrink_to_fit();
        }
        break;
    case 19: {
        name = "swap";
        s.swap(o);
        m.swap(om);
        if (chance(50)) { // back again through the free function, managers included
            using std::swap;
            swap(s, o);
            m.swap(om);
        }
        break;
    }
    case 20: {
        name = "copy and move construction and assignment";
        kstring before(s);
        ASSERT_EQ(text_of(before), m);
        ASSERT_EQ(before.alloc.manager, s.alloc.manager) << "a copy keeps the source's manager";
        ASSERT_EQ(record_problem(before), "") << "a copy of a string without a buffer must have none either";
        kstring moved(std::move(before));
        ASSERT_TRUE(before.data == nullptr && before.length == 0 && before.capacity == 0) << "moved-from record";
        ASSERT_EQ(text_of(moved), m);
        if (&s != &o) {
            if (chance(50)) {
                s = o, m = om;
            } else {
                const bool same_manager = s.alloc.manager == o.alloc.manager;
                char* const taken = o.data;
                s = std::move(o);
                m = std::move(om);
                om.clear();
                if (same_manager) {
                    ASSERT_EQ(s.data, taken);
                    ASSERT_TRUE(o.data == nullptr && o.length == 0 && o.capacity == 0) << "moved-from record";
                } else {
                    o.clear(); // copied, not taken; the model's source is empty now
                }
            }
        }
        break;
    }
    case 21: {
        name = "substr";
        const unsigned pos = position(m.size()), n = count(m.size());
        std::string kel_text, std_text;
        k = on_kel([&] {
            const kstring r = s.substr(pos, n);
            EXPECT_EQ(record_problem(r), "");
            EXPECT_EQ(r.alloc.manager, s.alloc.manager);
            kel_text = text_of(r);
            return r.size();
        });
        d = on_std([&] {
            std_text = m.substr(pos, n);
            return static_cast<unsigned>(std_text.size());
        });
        ASSERT_EQ(kel_text, std_text);
        break;
    }
    case 22: {
        name = "copy";
        const unsigned pos = position(m.size()), n = count(m.size()) % 50;
        char kb[60], db[60];
        std::memset(kb, 1, sizeof kb);
        std::memset(db, 1, sizeof db);
        k = on_kel([&] { return s.copy(kb, n, pos); });
        d = on_std([&] { return m.copy(db, n, pos); });
        ASSERT_EQ(std::memcmp(kb, db, sizeof kb), 0);
        break;
    }
    case 23: {
        name = "compare";
        const unsigned pos = position(m.size()), n = count(m.size());
        const unsigned pos2 = position(om.size()), n2 = count(om.size());
        source src = pick_source(s, m);
        switch (below(6)) {
        case 0:
            k = on_kel([&] { return s.compare(o); });
            d = on_std([&] { return m.compare(om); });
            break;
        case 1:
            k = on_kel([&] { return s.compare(pos, n, o); });
            d = on_std([&] { return m.compare(pos, n, om); });
            break;
        case 2:
            k = on_kel([&] { return s.compare(pos, n, o, pos2, n2); });
            d = on_std([&] { return m.compare(pos, n, om, pos2, n2); });
            break;
        case 3:
            k = on_kel([&] { return s.compare(pos, n, src.kel, src.n); });
            d = on_std([&] { return m.compare(pos, n, src.model, src.n); });
            break;
        case 4:
            k = on_kel([&] { return s.compare(src.kel); });
            d = on_std([&] { return m.compare(src.model); });
            break;
        default:
            k = on_kel([&] { return s.compare(pos, n, std::string_view(om), pos2, n2); });
            // (libstdc++ 12 declares this overload noexcept for string_view
            // arguments although it throws; the model uses the std::string one.)
            d = on_std([&] { return m.compare(pos, n, om, pos2, n2); });
        }
        break;
    }
    case 24:
    case 25: {
        name = "find / rfind";
        const unsigned pos = chance(70) ? below(static_cast<unsigned>(m.size()) + 2) : position(m.size());
        source src = pick_source(s, m);
        const unsigned n = std::min(src.n, below(6));
        const char c = m.empty() || chance(20) ? 'a' : m[below(static_cast<unsigned>(m.size()))];
        switch (below(6)) {
        case 0:
            k = on_kel([&] { return s.find(src.kel, pos, n); });
            d = on_std([&] { return m.find(src.model, pos, n); });
            break;
        case 1:
            k = on_kel([&] { return s.rfind(src.kel, pos, n); });
            d = on_std([&] { return m.rfind(src.model, pos, n); });
            break;
        case 2:
            k = on_kel([&] { return s.find(c, pos); });
            d = on_std([&] { return m.find(c, pos); });
            break;
        case 3:
            k = on_kel([&] { return s.rfind(c, pos); });
            d = on_std([&] { return m.rfind(c, pos); });
            break;
        case 4:
            k = on_kel([&] { return s.find(o, pos); });
            d = on_std([&] { return m.find(om, pos); });
            break;
        default:
            k = on_kel([&] { return s.rfind(std::string_view(om)); });
            d = on_std([&] { return m.rfind(std::string_view(om)); });
        }
        break;
    }
    case 26:
    case 27: {
        name = "find_first_of / find_last_of / _not_of";
        const unsigned pos = chance(70) ? below(static_cast<unsigned>(m.size()) + 2) : position(m.size());
        source src = pick_source(s, m);
        const unsigned n = std::min(src.n, below(8));
        const char c = m.empty() ? 'b' : m[below(static_cast<unsigned>(m.size()))];
        switch (below(8)) {
        case 0:
            k = on_kel([&] { return s.find_first_of(src.kel, pos, n); });
            d = on_std([&] { return m.find_first_of(src.model, pos, n); });
            break;
        case 1:
            k = on_kel([&] { return s.find_last_of(src.kel, pos, n); });
            d = on_std([&] { return m.find_last_of(src.model, pos, n); });
            break;
        case 2:
            k = on_kel([&] { return s.find_first_not_of(src.kel, pos, n); });
            d = on_std([&] { return m.find_first_not_of(src.model, pos, n); });
            break;
        case 3:
            k = on_kel([&] { return s.find_last_not_of(src.kel, pos, n); });
            d = on_std([&] { return m.find_last_not_of(src.model, pos, n); });
            break;
        case 4:
            k = on_kel([&] { return s.find_first_not_of(c, pos); });
            d = on_std([&] { return m.find_first_not_of(c, pos); });
            break;
        case 5:
            k = on_kel([&] { return s.find_last_not_of(c, pos); });
            d = on_std([&] { return m.find_last_not_of(c, pos); });
            break;
        case 6:
            k = on_kel([&] { return s.find_first_of(o, pos); });
            d = on_std([&] { return m.find_first_of(om, pos); });
            break;
        default:
            k = on_kel([&] { return s.find_last_of(c, pos); });
            d = on_std([&] { return m.find_last_of(c, pos); });
        }
        break;
    }
    case 28: {
        name = "starts_with / ends_with";
        const std::string model_prefix = chance(50) ? om : random_text();
        const std::string prefix = chance(50) ? m.substr(0, below(static_cast<unsigned>(m.size()) + 1)) : model_prefix;
        const std::string suffix = chance(50) ? m.substr(below(static_cast<unsigned>(m.size()) + 1)) : model_prefix;
        const kstring kprefix(prefix), ksuffix(suffix);
        const bool want_start = m.compare(0, prefix.size(), prefix) == 0 && prefix.size() <= m.size();
        const bool want_end =
            suffix.size() <= m.size() && m.compare(m.size() - suffix.size(), suffix.size(), suffix) == 0;
        ASSERT_EQ(s.starts_with(kprefix), want_start);
        ASSERT_EQ(s.starts_with(std::string_view(prefix)), want_start);
        ASSERT_EQ(s.ends_with(ksuffix), want_end);
        ASSERT_EQ(s.ends_with(std::string_view(suffix)), want_end);
        ASSERT_EQ(s.starts_with(prefix.c_str()), m.compare(0, std::strlen(prefix.c_str()), prefix.c_str()) == 0);
        ASSERT_EQ(s.ends_with('a'), !m.empty() && m.back() == 'a');
        ASSERT_EQ(s.starts_with('a'), !m.empty() && m.front() == 'a');
        break;
    }
    case 29: {
        name = "operator+";
        const std::string text = random_text();
        kstring r;
        std::string w;
        switch (below(6)) {
        case 0:
            r = s + o, w = m + om;
            break;
        case 1:
            r = s + text.c_str(), w = m + text.c_str();
            break;
        case 2:
            r = text.c_str() + s, w = text.c_str() + m;
            break;
        case 3:
            r = 'q' + s + 'r', w = 'q' + m + 'r';
            break;
        case 4:
            r = kstring(text) + s + kstring(text), w = text + m + text;
            break;
        default:
            r = s + kstring(text), w = m + text;
        }
        ASSERT_EQ(text_of(r), w);
        ASSERT_EQ(record_problem(r), "");
        break;
    }
    case 30: {
        name = "comparison operators";
        const std::string text = chance(50) ? om : random_text();
        const kstring other(text);
        const int want = m.compare(text) < 0 ? -1 : m.compare(text) > 0 ? 1 : 0;
        const int want_c = m.compare(text.c_str()) < 0 ? -1 : m.compare(text.c_str()) > 0 ? 1 : 0;
        ASSERT_EQ(s == other, want == 0);
        ASSERT_EQ(s != other, want != 0);
        ASSERT_EQ(s < other, want < 0);
        ASSERT_EQ(s > other, want > 0);
        ASSERT_EQ(s <= other, want <= 0);
        ASSERT_EQ(s >= other, want >= 0);
        ASSERT_EQ(s == text, want == 0);
        ASSERT_EQ(text<s, want> 0);
        ASSERT_EQ(std::string_view(text) >= s, want <= 0);
        ASSERT_EQ(s <= std::string_view(text), want <= 0);
        ASSERT_EQ(s == text.c_str(), want_c == 0);
        ASSERT_EQ(text.c_str() < s, want_c > 0);
        ASSERT_EQ(s > text.c_str(), want_c > 0);
        ASSERT_EQ(number(s.compare(other)), want);
        ASSERT_EQ(number(s.compare(text)), want);
        ASSERT_EQ(number(s.compare(text.c_str())), want_c);
        break;
    }
    case 31: {
        name = "element access";
        const unsigned pos = position(m.size());
        k = on_kel([&] { return static_cast<unsigned>(static_cast<unsigned char>(s.at(pos))); });
        d = on_std([&] { return static_cast<unsigned>(static_cast<unsigned char>(m.at(pos))); });
        if (!m.empty()) {
            const unsigned i = below(static_cast<unsigned>(m.size()));
            ASSERT_EQ(s[i], m[i]);
            ASSERT_EQ(s.front(), m.front());
            ASSERT_EQ(s.back(), m.back());
            s[i] = 'w', m[i] = 'w';
            s.front() = 'f', m.front() = 'f';
        }
        ASSERT_EQ(static_cast<const kstring&>(s)[s.size()], '\0');
        break;
    }
    case 32: {
        name = "iterators";
        ASSERT_TRUE(std::equal(s.begin(), s.end(), m.begin(), m.end()));
        ASSERT_TRUE(std::equal(s.crbegin(), s.crend(), m.crbegin(), m.crend()));
        ASSERT_EQ(s.end() - s.begin(), static_cast<std::ptrdiff_t>(m.size()));
        if (chance(30)) {
            std::sort(s.begin(), s.end());
            std::sort(m.begin(), m.end());
        } else {
            std::reverse(s.begin(), s.end());
            std::reverse(m.begin(), m.end());
        }
        break;
    }
    case 33: {
        name = "hash";
        const kel_std::hash<kstring> h;
        ASSERT_EQ(h(s), h(m));
        ASSERT_EQ(h(s), h(std::string_view(m)));
        ASSERT_EQ(h(s), std::hash<kstring>()(s));
        ASSERT_EQ(h(s), h(kstring(m)));
        ASSERT_EQ(h(m.c_str()), h(kstring(m.c_str())));
        break;
    }
    case 34: {
        name = "conversions";
        ASSERT_EQ(static_cast<std::string>(s), m);
        ASSERT_EQ(std::string_view(s), m);
        const kstring from_view(std::string_view(m), 0, knpos);
        ASSERT_EQ(text_of(from_view), m);
        break;
    }
    case 35: {
        name = "construction";
        const unsigned pos = position(om.size()), n = count(om.size());
        std::string kel_text, std_text;
        k = on_kel([&] {
            const kstring r(o, pos, n);
            EXPECT_EQ(r.alloc.manager, o.alloc.manager);
            kel_text = text_of(r);
            return r.size();
        });
        d = on_std([&] {
            std_text = std::string(om, pos, n);
            return static_cast<unsigned>(std_text.size());
        });
        ASSERT_EQ(kel_text, std_text);
        const kstring copy_elsewhere(o, allocator<char>());
        ASSERT_EQ(text_of(copy_elsewhere), om);
        ASSERT_EQ(copy_elsewhere.data == nullptr, o.data == nullptr);
        break;
    }
    default: {
        name = "string with the text's size limit in mind";
        // Keep texts from growing without bound.
        if (m.size() > 2000)
            s.erase(100), m.erase(100);
    }
    }
    ASSERT_EQ(k, d) << name << " (threw " << k.threw << "/" << d.threw << ", value " << k.value << "/" << d.value
                    << "), step " << steps_;
    if (k.threw) {
        ASSERT_EQ(s.data, old_data) << name << ": a failed call changed the string";
        ASSERT_EQ(s.capacity, old_capacity);
    }
    for (int i = 0; i < 3; ++i) {
        check(i, name);
        if (testing::Test::HasFatalFailure())
            return;
    }
    ++steps_;
}

} // namespace

TEST(string_value, randomized_differential_run_against_std_string) {
    // 200,000 operations at KEL_STD_TEST_SCALE=100; a quarter of that in
    // Debug builds (sanitizers, assertions).
#if defined(KEL_STD_DEBUG)
    const int rounds = 5;
#else
    const int rounds = 20;
#endif
    const int steps = kel_test::scaled(10000);
    long total = 0;
    for (int round = 0; round < rounds; ++round) {
        const unsigned seed = 7000u + static_cast<unsigned>(round);
        differential run(seed);
        for (int i = 0; i < steps; ++i) {
            run.step();
            if (testing::Test::HasFatalFailure()) {
                ADD_FAILURE() << "seed " << seed;
                return;
            }
        }
        total += run.steps_;
        std::size_t held = 0; // buffers the manager's strings hold now
        for (const kstring& s : run.s_)
            held += s.alloc.manager == &run.manager_ && s.data != nullptr ? 1 : 0;
        EXPECT_EQ(run.manager_.live_blocks(), held) << "seed " << seed << ": a buffer leaked";
        EXPECT_EQ(run.manager_.bad_releases, 0) << "seed " << seed;
    }
    RecordProperty("operations", std::to_string(total));
    std::printf("differential run: %ld operations\n", total);
}

namespace {

const char forty[] = "0123456789abcdefghijklmnopqrstuvwxyzABCD";

// An operation that may allocate, on a string and on its model.
struct allocating_op {
    const char* name;
    std::function<void(kstring&)> kel;
    std::function<void(std::string&)> model;
};

std::vector<allocating_op> allocating_ops(const std::list<char>& chars) {
    return {
        {"append(s, n)", [](kstring& s) { s.append(forty, 40); }, [](std::string& m) { m.append(forty, 40); }},
        {"append(n, c)", [](kstring& s) { s.append(40, 'c'); }, [](std::string& m) { m.append(40, 'c'); }},
        {"push_back", [](kstring& s) { s.push_back('p'); }, [](std::string& m) { m.push_back('p'); }},
        {"+= C string", [](kstring& s) { s += forty; }, [](std::string& m) { m += forty; }},
        {"+= string_view", [](kstring& s) { s += std::string_view(forty, 20); },
         [](std::string& m) { m += std::string_view(forty, 20); }},
        {"append(self)", [](kstring& s) { s.append(s); }, [](std::string& m) { m.append(m); }},
        {"append(list range)", [&chars](kstring& s) { s.append(chars.begin(), chars.end()); },
         [&chars](std::string& m) { m.append(chars.begin(), chars.end()); }},
        {"insert(1, s, n)", [](kstring& s) { s.insert(s.empty() ? 0 : 1, forty, 40); },
         [](std::string& m) { m.insert(m.empty() ? 0 : 1, forty, 40); }},
        {"insert(0, own text + 2)", [](kstring& s) { s.insert(0, s.c_str() + (s.size() > 2 ? 2 : 0)); },
         [](std::string& m) { m.insert(0, m.c_str() + (m.size() > 2 ? 2 : 0)); }},
        {"insert(iterator, n, c)", [](kstring& s) { s.insert(s.cend(), 20, 'i'); },
         [](std::string& m) { m.insert(m.cend(), 20, 'i'); }},
        {"replace(1, 3, own text, 5)",
         [](kstring& s) {
             if (s.size() >= 5)
                 s.replace(1, 3, s.c_str(), 5);
             else
                 s.replace(0, 1, forty, 40);
         },
         [](std::string& m) {
             if (m.size() >= 5)
                 m.replace(1, 3, m.c_str(), 5);
             else
                 m.replace(0, 1, forty, 40);
         }},
        {"replace(0, 1, n, c)", [](kstring& s) { s.replace(0, 1, 33, 'r'); },
         [](std::string& m) { m.replace(0, 1, 33, 'r'); }},
        {"resize(100)", [](kstring& s) { s.resize(100, 'z'); }, [](std::string& m) { m.resize(100, 'z'); }},
        {"reserve(100)", [](kstring& s) { s.reserve(100); }, [](std::string&) {}},
        {"assign(n, c)", [](kstring& s) { s.assign(100, 'a'); }, [](std::string& m) { m.assign(100, 'a'); }},
        {"assign(list range)", [&chars](kstring& s) { s.assign(chars.begin(), chars.end()); },
         [&chars](std::string& m) { m.assign(chars.begin(), chars.end()); }},
        {"= C string", [](kstring& s) { s = forty; }, [](std::string& m) { m = forty; }},
        {"operator+",
         [](kstring& s) {
             kstring r = s + s + forty;
             s.swap(r);
         },
         [](std::string& m) { m = m + m + forty; }},
        {"substr",
         [](kstring& s) {
             kstring r = s.substr(0, 40);
             s.swap(r);
         },
         [](std::string& m) { m = m.substr(0, 40); }},
        {"copy",
         [](kstring& s) {
             kstring r(s);
             r += 'x';
             s.swap(r);
         },
         [](std::string& m) { m += 'x'; }},
    };
}

} // namespace

TEST(string_value, failure_at_every_allocation_point_changes_nothing_and_leaks_nothing) {
    const std::list<char> chars(forty, forty + 30);
    const std::string starts[] = {"", "abc", std::string(15, 's'), std::string(40, 'm'), std::string(47, 'f')};
    long injected = 0, points_max = 0;
    for (const allocating_op& op : allocating_ops(chars)) {
        for (const std::string& start : starts) {
            for (int with_manager = 0; with_manager < 2; ++with_manager) {
                for (int k = 1;; ++k) {
                    recording_manager manager;
                    kstring s{allocator<char>(with_manager ? &manager : nullptr)};
                    if (!start.empty())
                        s.assign(start.data(), static_cast<unsigned>(start.size()));
                    char* const data = s.data;
                    const unsigned capacity = s.capacity;
                    const std::size_t live = manager.live_blocks();
                    bool failed = false;
                    {
                        heap_watch heap;
                        if (with_manager)
                            manager.fail_at = k;
                        else
                            heap.fail_new_at(k);
                        try {
                            op.kel(s);
                        } catch (const manager_failure&) {
                            failed = true;
                        } catch (const std::bad_alloc&) {
                            failed = true;
                        }
                        if (with_manager) {
                            // The test manager's exception allocates its message.
                            EXPECT_EQ(heap.news(), failed ? 1 : 0)
                                << op.name << ": a string with a manager used the heap";
                        } else if (failed) {
                            EXPECT_EQ(heap.news(), heap.deletes()) << op.name << ": a failed call leaked";
                        }
                    }
                    const std::string where = std::string(op.name) + ", start " + std::to_string(start.size()) +
                                              (with_manager ? ", manager" : ", heap") + ", failing allocation " +
                                              std::to_string(k);
                    if (failed) {
                        ++injected;
                        ASSERT_EQ(text_of(s), start) << where;
                        ASSERT_EQ(s.data, data) << where;
                        ASSERT_EQ(s.capacity, capacity) << where;
                        ASSERT_EQ(manager.live_blocks(), live) << where;
                        continue;
                    }
                    std::string model = start;
                    op.model(model);
                    ASSERT_EQ(text_of(s), model) << where;
                    ASSERT_EQ(record_problem(s), "") << where;
                    EXPECT_EQ(manager.bad_releases, 0) << where;
                    points_max = std::max<long>(points_max, k - 1);
                    break;
                }
            }
        }
    }
    EXPECT_GT(injected, 100);
    EXPECT_EQ(points_max, 2) << "the list ranges allocate twice: the collected text, then the string";
    std::printf("failure injection: %ld failed allocations, at most %ld per call\n", injected, points_max);
}

TEST(string_value, positions_past_the_end_throw_the_librarys_out_of_range) {
    kstring s("hello");
    const kstring& c = s;
    char buffer[8];
    const std::function<void()> calls[] = {
        [&] { s.at(5); },
        [&] { c.at(5); },
        [&] { s.at(knpos); },
        [&] { s.insert(6, "x"); },
        [&] { s.insert(6, 2, 'x'); },
        [&] { s.insert(0, c, 6, 1); },
        [&] { s.erase(6); },
        [&] { s.replace(6, 1, "x"); },
        [&] { s.replace(0, 1, c, 6, 1); },
        [&] { s.replace(6, 0, 3, 'x'); },
        [&] { s.substr(6); },
        [&] { c.copy(buffer, 1, 6); },
        [&] { c.compare(6, 1, "x"); },
        [&] { c.compare(0, 1, c, 6, 1); },
        [&] { s.append(c, 6, 1); },
        [&] { s.assign(c, 6, 1); },
        [&] { kstring(c, 6); },
        [&] { s.append(std::string_view("abc"), 4, 1); },
    };
    int i = 0;
    for (const auto& call : calls) {
        try {
            call();
            ADD_FAILURE() << "call " << i << " did not throw";
        } catch (const kel_std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "out of range error") << "call " << i;
        }
        EXPECT_EQ(text_of(s), "hello") << "call " << i;
        ++i;
    }
    // At the end is allowed.
    EXPECT_EQ(s.substr(5).size(), 0u);
    EXPECT_EQ(s.insert(5, "!").size(), 6u);
}

TEST(string_value, growth_beyond_max_length_throws_the_librarys_length_error) {
    recording_manager manager;
    kstring s("abc", allocator<char>(&manager));
    char* const data = s.data;
    manager.calls.clear();
    const unsigned too_many = kstring::max_length - 2; // 3 + this is max_length + 1
    const std::function<void()> calls[] = {
        [&] { s.append(too_many, 'x'); },
        [&] { s.insert(1, too_many, 'x'); },
        [&] { s.replace(0, 0, too_many, 'x'); },
        [&] { s.resize(knpos); },
        [&] { s.reserve(kstring::max_length + 1u); },
        [&] { s.assign(knpos, 'x'); },
        [&] { kstring(knpos, 'x'); },
        [&] { s.replace(0, 1, too_many + 1, 'x'); },
    };
    int i = 0;
    for (const auto& call : calls) {
        try {
            call();
            ADD_FAILURE() << "call " << i << " did not throw";
        } catch (const kel_std::length_error& e) {
            EXPECT_STREQ(e.what(), "length error") << "call " << i;
        }
        EXPECT_EQ(text_of(s), "abc") << "call " << i;
        EXPECT_EQ(s.data, data) << "call " << i;
        ++i;
    }
    EXPECT_TRUE(manager.calls.empty()) << "nothing was allocated for a request that cannot succeed";
    EXPECT_EQ(s.max_size(), 4294967279u);
    EXPECT_EQ(knpos, 4294967295u);
}

TEST(string_value, appending_grows_geometrically_in_multiples_of_16_and_never_touches_the_heap) {
    recording_manager manager;
    kstring s{allocator<char>(&manager)};
    std::string model;
    for (unsigned i = 0; i < 100000; ++i)
        model.push_back(static_cast<char>('a' + i % 26));
    heap_watch heap;
    for (char c : model)
        s.push_back(c);
    for (unsigned i = 0; i < 2000; ++i)
        s.append(forty, 32);
    EXPECT_EQ(heap.news(), 0);
    std::vector<unsigned> sizes;
    for (const manager_call& call : manager.calls)
        if (call.kind == manager_call::allocate)
            sizes.push_back(call.size);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.front(), 16u);
    for (std::size_t i = 1; i < sizes.size(); ++i) {
        EXPECT_EQ(sizes[i] % 16, 0u);
        EXPECT_GE(sizes[i], 2 * sizes[i - 1]) << "allocation " << i;
    }
    EXPECT_LE(sizes.size(), 15u) << "164,000 characters need 14 doublings from 16 bytes";
    EXPECT_EQ(std::string(s.c_str(), 100000), model);
    EXPECT_EQ(s.size(), 164000u);
    EXPECT_EQ(record_problem(s), "");
    // assign and reserve keep the exact rule.
    kstring exact;
    exact.reserve(100);
    EXPECT_EQ(exact.capacity, 112u);
    exact.assign(forty, 40);
    EXPECT_EQ(exact.capacity, 112u);
    exact.reserve(112);
    EXPECT_EQ(exact.capacity, 128u);
    EXPECT_EQ(text_of(exact), std::string(forty, 40));
    kstring none;
    none.reserve(0);
    none.append("", 0);
    none.insert(0, "", 0);
    none.erase();
    none.clear();
    none.resize(0);
    EXPECT_EQ(none.data, nullptr) << "nothing to store, nothing allocated";
}

TEST(string_value, self_referencing_arguments_give_the_standard_results) {
    const char* const start = "abcdefghij";
    kstring s(start);
    std::string m(start);
    s.append(s), m.append(m);
    EXPECT_EQ(text_of(s), m);
    s.insert(0, s.c_str() + 2), m.insert(0, m.c_str() + 2);
    EXPECT_EQ(text_of(s), m);
    s.replace(1, 3, s.c_str(), 5), m.replace(1, 3, m.c_str(), 5);
    EXPECT_EQ(text_of(s), m);
    // In place, source before, across and after the replaced part.
    for (unsigned from = 0; from < 20; ++from) {
        for (unsigned n = 0; n + from <= 20; ++n) {
            for (unsigned pos = 0; pos < 20; pos += 3) {
                kstring k(start);
                k.reserve(100);
                k.append(start);
                std::string w(start);
                w.append(start);
                k.replace(pos, 2, k.c_str() + from, n);
                w.replace(pos, 2, w.c_str() + from, n);
                ASSERT_EQ(text_of(k), w) << "from " << from << " n " << n << " pos " << pos;
            }
        }
    }
}

TEST(string_value, copies_of_strings_without_a_buffer_and_moved_from_strings_keep_the_record) {
    recording_manager manager;
    const kstring empty{allocator<char>(&manager)};
    const kstring copy(empty);
    EXPECT_TRUE(copy.data == nullptr && copy.length == 0 && copy.capacity == 0);
    EXPECT_EQ(copy.alloc.manager, &manager);
    kstring source("text", allocator<char>(&manager));
    kstring target{allocator<char>(&manager)};
    target = std::move(source);
    EXPECT_TRUE(source.data == nullptr && source.length == 0 && source.capacity == 0);
    EXPECT_EQ(*source.c_str(), '\0');
    source += "again"; // a moved-from string is usable
    EXPECT_EQ(text_of(source), "again");
    kstring elsewhere(std::move(target), allocator<char>()); // different manager: copied
    EXPECT_EQ(text_of(elsewhere), "text");
    EXPECT_EQ(text_of(target), "text");
    EXPECT_TRUE(manager.calls.size() > 0);
    EXPECT_EQ(manager.bad_releases, 0);
}

TEST(string_value, traits_compare_bytes_as_unsigned_characters) {
    typedef kel_std::char_traits_char traits;
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const char ca = static_cast<char>(a), cb = static_cast<char>(b);
            const int r = traits::compare(&ca, &cb, 1);
            ASSERT_EQ(r < 0, traits::lt(ca, cb)) << a << " " << b;
            ASSERT_EQ(r > 0, traits::lt(cb, ca)) << a << " " << b;
            ASSERT_EQ(r == 0, traits::eq(ca, cb)) << a << " " << b;
        }
    }
    EXPECT_EQ(traits::compare(nullptr, nullptr, 0), 0);
    EXPECT_GT(traits::compare("ab\x80", "ab\x7f", 3), 0);
    EXPECT_LT(traits::compare("a\0b", "a\0c", 3), 0) << "NULs inside take part";
    // The string's ordering follows: a byte above 0x7F is larger, a proper
    // prefix is smaller, NULs count.
    EXPECT_LT(kstring("a"), kstring("\x80"));
    EXPECT_LT(kstring("a", 1), kstring("a\0", 2));
    EXPECT_LT(kstring("a\0b", 3), kstring("a\0c", 3));
    EXPECT_NE(kstring("a\0b", 3), kstring("a\0c", 3));
}

TEST(string_value, works_with_the_standard_library) {
    static_assert(std::is_convertible<std::string, kstring>::value, "from std::string implicitly");
    static_assert(!std::is_convertible<kstring, std::string>::value, "to std::string explicitly");
    static_assert(std::is_constructible<std::string, kstring>::value, "to std::string explicitly");
    static_assert(std::is_convertible<kstring, std::string_view>::value, "to string_view as std::string does");
    static_assert(!std::is_convertible<std::string_view, kstring>::value, "from string_view explicitly");
    static_assert(!std::is_convertible<int, kstring::const_iterator>::value, "0 is never an iterator");
    static_assert(std::is_convertible<kstring::iterator, kstring::const_iterator>::value, "");
    static_assert(!std::is_convertible<kstring::const_iterator, kstring::iterator>::value, "");
    static_assert(std::is_same<std::iterator_traits<kstring::iterator>::iterator_category,
                               std::random_access_iterator_tag>::value,
                  "");
    static_assert(std::is_same<kstring::size_type, unsigned int>::value, "32-bit sizes");
    static_assert(std::is_same<kel_std::hash<kstring>::is_transparent, void>::value, "transparent hash");

    const std::string with_nul("key\0one", 7);
    std::unordered_map<kstring, int> by_hash;
    std::map<kstring, int> by_order;
    for (int i = 0; i < 200; ++i) {
        const kstring key(with_nul + std::to_string(i));
        by_hash[key] = i;
        by_order[key] = i;
    }
    EXPECT_EQ(by_hash.size(), 200u);
    EXPECT_EQ(by_hash.at(kstring(with_nul + "17")), 17);
    EXPECT_EQ(by_order.begin()->first, with_nul + "0");
    EXPECT_EQ(by_order.rbegin()->first, with_nul + "99");
    std::unordered_set<kstring, kel_std::hash<kstring>> set{kstring("a"), kstring("b")};
    EXPECT_EQ(set.count(kstring("b")), 1u);

    const kstring k(with_nul);
    EXPECT_EQ(static_cast<std::string>(k), with_nul);
    EXPECT_EQ(std::string(k), with_nul);
    EXPECT_EQ(std::string_view(k), with_nul);
    EXPECT_EQ(k, with_nul);
    EXPECT_EQ(with_nul, k);
    EXPECT_NE(k, "key") << "a C string ends at its NUL";
    const kel_std::hash<kstring> h;
    EXPECT_EQ(h(k), h(with_nul));
    EXPECT_EQ(h(k), h(std::string_view(with_nul)));
    EXPECT_EQ(h("key"), h(kstring("key")));
    EXPECT_EQ(h(kstring()), h(""));

    // Ambiguities that raw pointers as iterators would cause.
    kstring s("abcdef");
    s.erase(0);
    s.insert(0, 3, 'x');
    s.replace(0, 0, "y");
    EXPECT_EQ(text_of(s), "yxxx");
    // A reverse walk, and a string built from one.
    const kstring r(s.rbegin(), s.rend());
    EXPECT_EQ(text_of(r), "xxxy");
    // Initializer lists.
    kstring il{'a', 'b'};
    il += {'c'};
    il.insert(il.begin(), {'z'});
    EXPECT_EQ(text_of(il), "zabc");
}

TEST(string_value, both_searches_agree_with_std_string_find) {
    // Small alphabets make candidates dense: the needle's first and last
    // characters match often where the middle does not.
    std::mt19937 rng(31);
    long searches = 0;
    for (int round = 0; round < 3000; ++round) {
        const unsigned alphabet = 1 + rng() % 3;
        std::string hay(rng() % 80, 'a');
        for (char& c : hay)
            c = static_cast<char>('a' + rng() % alphabet);
        std::string needle(1 + rng() % 20, 'a');
        for (char& c : needle)
            c = static_cast<char>('a' + rng() % alphabet);
        if (!hay.empty() && rng() % 2 == 0) { // a needle taken from the text
            const std::size_t from = rng() % hay.size();
            needle = hay.substr(from, 1 + rng() % (hay.size() - from));
        }
        const std::size_t want = hay.find(needle);
        const char* const fast = kel_std::detail::search_text(hay.data(), hay.size(), needle.data(), needle.size());
        const char* const plain =
            kel_std::detail::search_text_portable(hay.data(), hay.size(), needle.data(), needle.size());
        const std::size_t got_fast = fast == nullptr ? std::string::npos : static_cast<std::size_t>(fast - hay.data());
        const std::size_t got_plain =
            plain == nullptr ? std::string::npos : static_cast<std::size_t>(plain - hay.data());
        ASSERT_EQ(got_fast, want) << "hay " << hay << " needle " << needle;
        ASSERT_EQ(got_plain, want) << "hay " << hay << " needle " << needle;
        ++searches;
    }
    EXPECT_EQ(searches, 3000);
}
