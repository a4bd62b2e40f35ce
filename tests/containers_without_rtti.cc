// Built with -fno-rtti: the containers cannot recognise a monotonic manager
// there, so on an arena they destroy and deallocate every node as on any
// other manager (the arena's blocks in use count back to zero), and
// everything still works. Exits with 1 and a message on the first fault.
#include <kel_std/map.h>
#include <kel_std/memory_managers.h>
#include <kel_std/unordered_map.h>

#include <cstdio>
#include <functional>
#include <utility>

#if defined(__GXX_RTTI) || defined(__cpp_rtti) || defined(_CPPRTTI)
#error "build this test without RTTI"
#endif

namespace {

typedef std::pair<const int, int> entry;

bool expect(bool ok, const char* what) {
    if (!ok)
        std::fprintf(stderr, "containers without RTTI: %s\n", what);
    return ok;
}

template <class C>
bool deallocates_everything(const char* name) {
    kel_std::arena_manager arena;
    bool ok = expect(!kel_std::detail::deallocation_skippable(kel_std::allocator<entry>(&arena)), name);
    {
        C c{kel_std::allocator<entry>(&arena)};
        for (int i = 0; i < 1000; ++i)
            c.emplace(i, -i);
        c.clear();
        ok = expect(arena.blocks_in_use() == 1, name) && ok; // the sentinel or bucket array
        for (int i = 0; i < 100; ++i)
            c.emplace(i, -i);
        ok = expect(c.size() == 100 && c.at(99) == -99, name) && ok;
    }
    return expect(arena.blocks_in_use() == 0, name) && ok;
}

} // namespace

int main() {
    const bool tree = deallocates_everything<kel_std::map<int, int, std::less<int>, kel_std::allocator<entry>>>(
        "kel_std::map on an arena");
    const bool hashed = deallocates_everything<
        kel_std::unordered_map<int, int, kel_std::hash<int>, std::equal_to<int>, kel_std::allocator<entry>>>(
        "kel_std::unordered_map on an arena");
    return tree && hashed ? 0 : 1;
}
