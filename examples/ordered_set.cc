// The pattern a container author copies: a minimal ordered set on the
// library's tree functions. The container owns its header and nil sentinel,
// compares keys itself, and lets the library link, unlink, rebalance and step.
#include <kel_std/tree.h>

#include <cstddef>
#include <cstdio>
#include <functional>
#include <utility>

template <class T, class Less = std::less<T>>
class ordered_set {
    using link = kel_std::kel_tree_node;
    using tree = kel_std::kel_tree_aux;

    // Deriving from the link record lets a link pointer from the library be
    // converted back to the node that holds it.
    struct node : link {
        explicit node(const T& v) : value(v) {}
        T value;
    };
    static const T& value_of(link* n) { return static_cast<node*>(n)->value; }

    link header_; // red; parent = root, left = first, right = last; the end position
    link nil_;    // every missing child points here
    std::size_t size_ = 0;
    Less less_;

public:
    class iterator {
    public:
        const T& operator*() const { return value_of(at_); }
        iterator& operator++() { return tree::increment(at_, nil_), *this; }
        iterator& operator--() { return tree::decrement(at_, nil_), *this; }
        bool operator==(const iterator& o) const { return at_ == o.at_; }
        bool operator!=(const iterator& o) const { return at_ != o.at_; }

    private:
        friend class ordered_set;
        iterator(link* at, link* nil) : at_(at), nil_(nil) {}
        link* at_;
        link* nil_;
    };

    ordered_set() {
        tree::init_nil(&nil_);
        header_.color = link::red;
        header_.parent = &nil_;
        header_.left = header_.right = &header_;
    }
    ~ordered_set() {
        while (size_ != 0)
            erase(begin());
        tree::uninit_nil(&nil_);
    }
    ordered_set(const ordered_set&) = delete;
    ordered_set& operator=(const ordered_set&) = delete;

    iterator begin() { return iterator(header_.left, &nil_); }
    iterator end() { return iterator(&header_, &nil_); }
    std::size_t size() const { return size_; }

    // Descends from the root to the value's place; an equal value stops it.
    std::pair<iterator, bool> insert(const T& value) {
        link* parent = &header_; // an empty tree hangs its first node to the header's left
        bool left = true;
        for (link* x = header_.parent; x != &nil_;) {
            parent = x;
            if (less_(value, value_of(x)))
                left = true, x = x->left;
            else if (less_(value_of(x), value))
                left = false, x = x->right;
            else
                return {iterator(x, &nil_), false};
        }
        node* n = new node(value);
        tree::insert(left, nullptr, parent, n, header_.right, header_.left, header_.parent, &header_, &nil_);
        ++size_;
        return {iterator(n, &nil_), true};
    }

    iterator find(const T& value) {
        for (link* x = header_.parent; x != &nil_;) {
            if (less_(value, value_of(x)))
                x = x->left;
            else if (less_(value_of(x), value))
                x = x->right;
            else
                return iterator(x, &nil_);
        }
        return end();
    }

    // Unlinks the node and frees it; iterators to other elements stay valid.
    iterator erase(iterator position) {
        iterator next = position;
        ++next;
        delete static_cast<node*>(
            tree::erase(position.at_, header_.right, header_.left, header_.parent, &header_, &nil_));
        --size_;
        return next;
    }
};

int main() {
    ordered_set<int> set;
    for (int v : {50, 20, 80, 10, 30, 70, 90, 20})
        set.insert(v);
    set.erase(set.find(30));

    std::printf("forward:");
    for (int v : set)
        std::printf(" %d", v);
    std::printf("\nbackward:");
    for (auto it = set.end(); it != set.begin();)
        std::printf(" %d", *--it);
    std::printf("\nsize %zu, 70 %s, 30 %s\n", set.size(), set.find(70) != set.end() ? "found" : "missing",
                set.find(30) != set.end() ? "found" : "missing");
    return set.size() == 6 ? 0 : 1;
}
