// A structure verifier for vector, for tests and for debugging: the three
// pointers of the buffer, and what size(), capacity(), empty(), data() and
// the iterators report from them.
#ifndef KEL_STD_DETAIL_VECTOR_CHECK_H
#define KEL_STD_DETAIL_VECTOR_CHECK_H

#include <kel_std/vector.h>

#include <functional>
#include <string>

namespace kel_std {
namespace detail {

struct vector_inspector {
    /// An empty string when `v` is sound; otherwise a description of the
    /// first fault found. Reads the three pointers only (no element).
    template <class T, class A>
    static std::string check(const vector<T, A>& v) {
        const T* const first = v.impl_.first;
        const T* const last = v.impl_.last;
        const T* const limit = v.impl_.limit;
        const std::less<const T*> before;
        if (first == nullptr) {
            if (last != nullptr || limit != nullptr)
                return "a vector without a buffer has an end or a capacity";
        } else {
            if (first == limit)
                return "a buffer of capacity 0 is held";
            if (before(last, first))
                return "the end of the elements lies before the buffer";
            if (before(limit, last))
                return "the end of the elements lies past the capacity";
        }
        if (v.size() != static_cast<std::size_t>(last - first) ||
            v.capacity() != static_cast<std::size_t>(limit - first))
            return "size() or capacity() disagrees with the buffer";
        if (v.capacity() > v.max_size())
            return "the capacity exceeds max_size()";
        if (v.empty() != (first == last) || v.data() != first)
            return "empty() or data() disagrees with the buffer";
        if (v.begin().base() != first || v.end().base() != last || v.end() - v.begin() != last - first)
            return "the iterators disagree with the buffer";
        return std::string();
    }
};

} // namespace detail
} // namespace kel_std

#endif // KEL_STD_DETAIL_VECTOR_CHECK_H
