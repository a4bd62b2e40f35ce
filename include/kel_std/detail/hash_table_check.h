// A structure verifier for the hashed containers, for tests and for
// debugging: the bucket array, every element in the bucket its hash names,
// the stored hashes, the occupancy bits, the first occupied bucket, the
// element count, the load limit, and equal keys (adjacent in the multi
// containers, absent in the others).
#ifndef KEL_STD_DETAIL_HASH_TABLE_CHECK_H
#define KEL_STD_DETAIL_HASH_TABLE_CHECK_H

#include <kel_std/detail/hash_table.h>

#include <cstddef>
#include <sstream>
#include <string>

namespace kel_std {
namespace detail {

struct hash_table_inspector {
    /// An empty string when `t` is sound; otherwise a description of the
    /// first fault found. Calls the container's hash once per element and its
    /// equality O(n * chain length) times; never loops on a corrupted table
    /// (it stops after more nodes than the size says).
    template <class K, class V, class KoV, class H, class P, class A, bool M>
    static std::string check(const hash_table<K, V, KoV, H, P, A, M>& t) {
        typedef hash_table<K, V, KoV, H, P, A, M> table;
        std::ostringstream fault;
        const typename table::state& s = t.impl_;
        if (!(s.max_load > 0.0f))
            return "the maximum load factor is not positive";
        if (s.table == nullptr) {
            if (s.size != 0 || s.mask != 0 || s.buckets != table::empty_bucket() || s.buckets[0].head != nullptr)
                return "a container without a bucket array is not in the empty state";
            if (t.bucket_count() != 0 || t.begin() != t.end())
                return "a container without a bucket array has buckets or elements";
            return std::string();
        }
        const std::size_t count = s.mask + 1;
        if ((count & s.mask) != 0)
            return "the bucket count is not a power of two";
        if (s.table[0].bits != s.mask || s.buckets != s.table + 1)
            return "the bucket array's header disagrees with the container";
        if (s.limit != t.limit_for(count))
            return "the load limit is not the one of the bucket count and maximum load factor";

        std::size_t nodes = 0;
        std::size_t first = count;
        const hash_slot* const words = s.buckets + count + 1;
        if (s.buckets[count].head != nullptr)
            return "the head past the last bucket is not null";
        if (((words[count / hash_word_bits].bits >> (count % hash_word_bits)) & 1u) == 0)
            return "the occupancy bit past the last bucket is not set";
        for (std::size_t b = 0; b < count; ++b) {
            const bool bit = ((words[b / hash_word_bits].bits >> (b % hash_word_bits)) & 1u) != 0;
            const hash_link* const head = s.buckets[b].head;
            if (bit != (head != nullptr)) {
                fault << "bucket " << b << (bit ? " is marked occupied but empty" : " is occupied but not marked");
                return fault.str();
            }
            if (head != nullptr && first == count)
                first = b;
            for (const hash_link* x = head; x != nullptr; x = x->next) {
                if (++nodes > s.size)
                    return "more nodes than the size (or a cycle)";
                if ((x->hash & s.mask) != b) {
                    fault << "a node of bucket " << b << " has a hash of bucket " << (x->hash & s.mask);
                    return fault.str();
                }
                if (x->hash != t.hash_of(table::key_of(x)))
                    return "a node's stored hash is not the mixed hash of its key";
                // Equal keys: none after this run (for unique keys, the run
                // is the node alone).
                const hash_link* y = x->next;
                while (M && y != nullptr && y->hash == x->hash && t.eq_ref()(table::key_of(x), table::key_of(y)))
                    y = y->next;
                for (; y != nullptr; y = y->next)
                    if (y->hash == x->hash && t.eq_ref()(table::key_of(x), table::key_of(y)))
                        return M ? "equal keys are not adjacent" : "a key is present twice";
            }
        }
        const std::size_t tail_bits = count % hash_word_bits + 1;
        if (tail_bits != hash_word_bits && (words[count / hash_word_bits].bits >> tail_bits) != 0)
            return "occupancy bits are set beyond the one past the last bucket";
        if (nodes != s.size) {
            fault << "the buckets hold " << nodes << " nodes but the size is " << s.size;
            return fault.str();
        }
        if (s.size != 0 && s.first != first) {
            fault << "the first occupied bucket is " << first << " but the container says " << s.first;
            return fault.str();
        }
        if (s.size == 0 && s.first != count)
            return "an empty table's first bucket is not the bucket count";

        // Iteration visits every node once and ends.
        std::size_t steps = 0;
        for (typename table::const_iterator it = t.begin(); it != t.end(); ++it)
            if (++steps > s.size)
                return "iteration visits more elements than the size";
        if (steps != s.size)
            return "iteration visits fewer elements than the size";
        return std::string();
    }
};

} // namespace detail
} // namespace kel_std

#endif // KEL_STD_DETAIL_HASH_TABLE_CHECK_H
