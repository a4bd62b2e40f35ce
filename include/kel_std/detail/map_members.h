// What the maps have beyond the other containers, written once for the
// ordered and the hashed ones: insertion of anything a value can be made
// from and erasure through a mutable iterator (every map), and operator[],
// at, try_emplace and insert_or_assign (the maps with unique keys).
#ifndef KEL_STD_DETAIL_MAP_MEMBERS_H
#define KEL_STD_DETAIL_MAP_MEMBERS_H

#include <kel_std/config.h>
#include <kel_std/errors.h> // at() throws out_of_range
#include <kel_std/throw_functions.h>

#include <type_traits>
#include <utility>

namespace kel_std {
namespace detail {

// `Base` is the tree or the table of a map or a multimap (`Multi`), with
// std::pair<const Key, T> values.
template <class Base, bool Multi>
class map_value_members : public Base {
    typedef typename std::conditional<Multi, typename Base::iterator, std::pair<typename Base::iterator, bool>>::type
        single_insert_result;

public:
    typedef typename Base::value_type value_type;
    typedef typename Base::iterator iterator;
    typedef typename Base::const_iterator const_iterator;

    using Base::Base;
    using Base::erase;
    using Base::insert;

    template <class P, class = typename std::enable_if<std::is_constructible<value_type, P&&>::value>::type>
    single_insert_result insert(P&& p) {
        return this->emplace(std::forward<P>(p));
    }

    template <class P, class = typename std::enable_if<std::is_constructible<value_type, P&&>::value>::type>
    iterator insert(const_iterator hint, P&& p) {
        return this->emplace_hint(hint, std::forward<P>(p));
    }

    iterator erase(iterator pos) { return Base::erase(const_iterator(pos)); }
};

// `Base` is the tree or the table of a map, which supplies
// try_emplace_impl(k, args...) and try_emplace_hint_impl(hint, k, args...):
// both look `k` up and build the value from `args` only when the key is new.
template <class Base>
class unique_map_members : public Base {
public:
    typedef typename Base::key_type key_type;
    typedef typename Base::mapped_type mapped_type;
    typedef typename Base::size_type size_type;
    typedef typename Base::iterator iterator;
    typedef typename Base::const_iterator const_iterator;

    using Base::Base;

    // The value of `k`, inserted value-initialised (`k` copied or moved in)
    // if the key is new.
    mapped_type& operator[](const key_type& k) { return this->try_emplace_impl(k).first->second; }
    mapped_type& operator[](key_type&& k) { return this->try_emplace_impl(std::move(k)).first->second; }

    // The value of `k`; kel_std::out_of_range when the key is not there.
    mapped_type& at(const key_type& k) {
        const iterator it = this->find(k);
        if (it == this->end())
            kel_throw_out_of_range();
        return it->second;
    }
    const mapped_type& at(const key_type& k) const {
        const const_iterator it = this->find(k);
        if (it == this->end())
            kel_throw_out_of_range();
        return it->second;
    }

    template <class... Args>
    std::pair<iterator, bool> try_emplace(const key_type& k, Args&&... args) {
        return this->try_emplace_impl(k, std::forward<Args>(args)...);
    }
    template <class... Args>
    std::pair<iterator, bool> try_emplace(key_type&& k, Args&&... args) {
        return this->try_emplace_impl(std::move(k), std::forward<Args>(args)...);
    }
    template <class... Args>
    iterator try_emplace(const_iterator hint, const key_type& k, Args&&... args) {
        return this->try_emplace_hint_impl(hint, k, std::forward<Args>(args)...);
    }
    template <class... Args>
    iterator try_emplace(const_iterator hint, key_type&& k, Args&&... args) {
        return this->try_emplace_hint_impl(hint, std::move(k), std::forward<Args>(args)...);
    }

    // Inserts `k` with `obj`, or assigns `obj` to the value of `k`. `obj` is
    // only used once: try_emplace builds nothing from it when the key is
    // present.
    template <class M>
    std::pair<iterator, bool> insert_or_assign(const key_type& k, M&& obj) {
        return assign_if_present(this->try_emplace_impl(k, std::forward<M>(obj)), std::forward<M>(obj));
    }
    template <class M>
    std::pair<iterator, bool> insert_or_assign(key_type&& k, M&& obj) {
        return assign_if_present(this->try_emplace_impl(std::move(k), std::forward<M>(obj)), std::forward<M>(obj));
    }
    template <class M>
    iterator insert_or_assign(const_iterator hint, const key_type& k, M&& obj) {
        const size_type old_size = this->size();
        const iterator it = this->try_emplace_hint_impl(hint, k, std::forward<M>(obj));
        if (this->size() == old_size)
            it->second = std::forward<M>(obj);
        return it;
    }
    template <class M>
    iterator insert_or_assign(const_iterator hint, key_type&& k, M&& obj) {
        const size_type old_size = this->size();
        const iterator it = this->try_emplace_hint_impl(hint, std::move(k), std::forward<M>(obj));
        if (this->size() == old_size)
            it->second = std::forward<M>(obj);
        return it;
    }

private:
    template <class M>
    static std::pair<iterator, bool> assign_if_present(std::pair<iterator, bool> r, M&& obj) {
        if (!r.second)
            r.first->second = std::forward<M>(obj);
        return r;
    }
};

} // namespace detail
} // namespace kel_std

#endif // KEL_STD_DETAIL_MAP_MEMBERS_H
