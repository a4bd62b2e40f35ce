// A structure verifier for deque, for tests and for debugging: the map and
// its used slots, the two ends inside their blocks, blocks held once (the
// spare included), and the element count against a walk and against
// indexing.
#ifndef KEL_STD_DETAIL_DEQUE_CHECK_H
#define KEL_STD_DETAIL_DEQUE_CHECK_H

#include <kel_std/deque.h>

#include <cstddef>
#include <functional>
#include <sstream>
#include <string>

namespace kel_std {
namespace detail {

struct deque_inspector {
    /// An empty string when `d` is sound; otherwise a description of the
    /// first fault found. Linear in the size and the map's size, quadratic
    /// in the number of blocks; allocates nothing unless it finds a fault.
    /// Every pointer is checked against the map before it is followed, and
    /// the walk is bounded, so that a damaged deque is reported, not
    /// followed into a loop (a damaged map pointer or map size cannot be
    /// seen).
    template <class T, class A>
    static std::string check(const deque<T, A>& d) {
        typedef typename deque<T, A>::state state;
        typedef typename deque<T, A>::const_iterator const_iterator;
        const state& s = d.impl_;
        const std::size_t block = deque_block_size<T>::value;
        const std::less<const void*> before;

        if (s.map == nullptr) {
            if (s.map_size != 0 || s.spare != nullptr || !null_iterator(s.start) || !null_iterator(s.finish))
                return "a deque without a map holds something";
            return std::string();
        }
        if (s.map_size == 0)
            return "a map of no slots";
        if (before(s.start.node_, s.map) || !before(s.start.node_, s.map + s.map_size) ||
            before(s.finish.node_, s.map) || !before(s.finish.node_, s.map + s.map_size))
            return "the start or the end is not in the map";
        const std::size_t first = static_cast<std::size_t>(s.start.node_ - s.map);
        const std::size_t last = static_cast<std::size_t>(s.finish.node_ - s.map);
        if (first > last)
            return "the end's block is before the start's";

        for (std::size_t i = 0; i < s.map_size; ++i) {
            const bool used = i >= first && i <= last;
            if (used && s.map[i] == nullptr)
                return "a used slot of the map has no block";
            if (!used && s.map[i] != nullptr)
                return "a block outside the used slots of the map";
        }
        // Pairwise, so that checking allocates nothing (tests watch the
        // heap while they check); a deque holds few blocks.
        for (std::size_t i = first; i <= last; ++i) {
            if (s.map[i] == s.spare)
                return "a block in use is also the spare";
            for (std::size_t j = i + 1; j <= last; ++j) {
                if (s.map[i] == s.map[j])
                    return "a block is held in two slots";
            }
        }

        if (!inside_block(s.start, block) || !inside_block(s.finish, block))
            return "the start or the end is not inside its block";
        if (first == last && s.finish.cur_ < s.start.cur_)
            return "the end is before the start in their block";

        // The ends are sound, so a walk from the start reaches the end
        // within the used blocks; it must agree with size() and indexing.
        const std::size_t size = d.size();
        std::size_t walked = 0;
        for (const_iterator it = d.begin(); it != d.end(); ++it, ++walked) {
            if (walked == size) {
                std::ostringstream fault;
                fault << "the walk from begin() to end() is longer than the size " << size;
                return fault.str();
            }
            if (&d[walked] != &*it)
                return "indexing and the walk reach different slots";
            if (it - d.begin() != static_cast<std::ptrdiff_t>(walked))
                return "iterator distance differs from the walk";
        }
        if (walked != size) {
            std::ostringstream fault;
            fault << "the walk counts " << walked << " elements but the size is " << size;
            return fault.str();
        }
        return std::string();
    }

    /// The representation, for tests that damage a deque on purpose.
    template <class T, class A>
    static typename deque<T, A>::state& parts(deque<T, A>& d) noexcept {
        return d.impl_;
    }

private:
    template <class It>
    static bool null_iterator(const It& it) noexcept {
        return it.cur_ == nullptr && it.first_ == nullptr && it.last_ == nullptr && it.node_ == nullptr;
    }
    template <class It>
    static bool inside_block(const It& it, std::size_t block) noexcept {
        const std::less<const void*> before;
        return it.first_ == *it.node_ && it.last_ == it.first_ + block && !before(it.cur_, it.first_) &&
               before(it.cur_, it.last_);
    }
};

} // namespace detail
} // namespace kel_std

#endif // KEL_STD_DETAIL_DEQUE_CHECK_H
