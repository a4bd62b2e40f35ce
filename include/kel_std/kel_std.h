/// @file
/// Umbrella header: includes every public header of the library.
#ifndef KEL_STD_KEL_STD_H
#define KEL_STD_KEL_STD_H

#include <kel_std/allocator.h>
#include <kel_std/basic_string.h>
#include <kel_std/config.h>
#include <kel_std/deque.h>
#include <kel_std/errors.h>
#include <kel_std/forward_list.h>
#include <kel_std/hash.h>
#include <kel_std/list.h>
#include <kel_std/map.h>
#include <kel_std/memory_managers.h>
#include <kel_std/queue.h>
#include <kel_std/random_generator.h>
#include <kel_std/set.h>
#include <kel_std/stack.h>
#include <kel_std/string_hash.h>
#include <kel_std/string_io.h>
#include <kel_std/throw_functions.h>
#include <kel_std/tree.h>
#include <kel_std/type_traits.h>
#include <kel_std/unordered_map.h>
#include <kel_std/unordered_set.h>
#include <kel_std/vector.h>

#endif // KEL_STD_KEL_STD_H
