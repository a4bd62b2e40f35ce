/// @file
/// A random-access iterator over contiguous elements: a pointer wrapped in a
/// class, so that integers and null pointer constants never convert to it
/// (with raw pointers as iterators, `s.erase(0)` or `s.insert(0, 3, 'x')`
/// would be ambiguous between the position and the iterator overloads).
#ifndef KEL_STD_DETAIL_CONTIGUOUS_ITERATOR_H
#define KEL_STD_DETAIL_CONTIGUOUS_ITERATOR_H

#include <cstddef>
#include <iterator>
#include <type_traits>

namespace kel_std {
namespace detail {

// T is the element type as the iterator sees it (const for const_iterator);
// Container only keeps the iterators of different containers apart.
template <class T, class Container>
class contiguous_iterator {
public:
    typedef std::random_access_iterator_tag iterator_category;
#if __cplusplus >= 202002L
    typedef std::contiguous_iterator_tag iterator_concept;
#endif
    typedef typename std::remove_const<T>::type value_type;
    typedef std::ptrdiff_t difference_type;
    typedef T* pointer;
    typedef T& reference;

    contiguous_iterator() noexcept : p_(nullptr) {}
    explicit contiguous_iterator(T* p) noexcept : p_(p) {}
    // iterator converts to const_iterator, not the other way round.
    template <class U, class = typename std::enable_if<std::is_convertible<U*, T*>::value>::type>
    contiguous_iterator(const contiguous_iterator<U, Container>& other) noexcept : p_(other.base()) {}

    T* base() const noexcept {
        return p_;
    }

    T& operator*() const noexcept {
        return *p_;
    }
    T* operator->() const noexcept {
        return p_;
    }
    T& operator[](difference_type n) const noexcept {
        return p_[n];
    }

    contiguous_iterator& operator++() noexcept {
        ++p_;
        return *this;
    }
    contiguous_iterator operator++(int) noexcept {
        return contiguous_iterator(p_++);
    }
    contiguous_iterator& operator--() noexcept {
        --p_;
        return *this;
    }
    contiguous_iterator operator--(int) noexcept {
        return contiguous_iterator(p_--);
    }
    contiguous_iterator& operator+=(difference_type n) noexcept {
        p_ += n;
        return *this;
    }
    contiguous_iterator& operator-=(difference_type n) noexcept {
        p_ -= n;
        return *this;
    }
    contiguous_iterator operator+(difference_type n) const noexcept {
        return contiguous_iterator(p_ + n);
    }
    contiguous_iterator operator-(difference_type n) const noexcept {
        return contiguous_iterator(p_ - n);
    }
    friend contiguous_iterator operator+(difference_type n, const contiguous_iterator& it) noexcept {
        return contiguous_iterator(it.p_ + n);
    }

private:
    T* p_;
};

// Distances and comparisons also between iterator and const_iterator.
template <class A, class B, class C>
std::ptrdiff_t operator-(const contiguous_iterator<A, C>& a, const contiguous_iterator<B, C>& b) noexcept {
    return a.base() - b.base();
}
template <class A, class B, class C>
bool operator==(const contiguous_iterator<A, C>& a, const contiguous_iterator<B, C>& b) noexcept {
    return a.base() == b.base();
}
template <class A, class B, class C>
bool operator!=(const contiguous_iterator<A, C>& a, const contiguous_iterator<B, C>& b) noexcept {
    return a.base() != b.base();
}
template <class A, class B, class C>
bool operator<(const contiguous_iterator<A, C>& a, const contiguous_iterator<B, C>& b) noexcept {
    return a.base() < b.base();
}
template <class A, class B, class C>
bool operator>(const contiguous_iterator<A, C>& a, const contiguous_iterator<B, C>& b) noexcept {
    return a.base() > b.base();
}
template <class A, class B, class C>
bool operator<=(const contiguous_iterator<A, C>& a, const contiguous_iterator<B, C>& b) noexcept {
    return a.base() <= b.base();
}
template <class A, class B, class C>
bool operator>=(const contiguous_iterator<A, C>& a, const contiguous_iterator<B, C>& b) noexcept {
    return a.base() >= b.base();
}

} // namespace detail
} // namespace kel_std

#endif // KEL_STD_DETAIL_CONTIGUOUS_ITERATOR_H
