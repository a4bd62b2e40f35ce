# GDB pretty printers for kel_std: the string, the ordered, hashed and
# sequence containers, the container adaptors, the iterators and node
# handles.
#
# Loading: gdb runs this file by itself when it loads libkel_std.so.1 (the
# build tree and the install rules put a copy where gdb's auto-load looks),
# or from the .debug_gdb_scripts section of a program compiled with
# KEL_STD_EMBED_GDB_PRINTERS defined; by hand, 'source kel_std_printers.py'.
# Printers that come in through a library or a program are registered with
# that object file, printers sourced by hand globally; loading twice replaces
# the printers of the first load.
#
# The printers only read the debugged program's memory (they call no
# function in it), so they work on core files too. A damaged container does
# not hang gdb: walks are bounded by the container's size (and, for trees,
# the height a red-black tree of that size can have), a node seen twice ends
# the walk, and the first unreadable or impossible link ends the output with
# a marker such as <corrupted: a cycle after 3 elements>. A container whose
# size cannot be told (a vector whose end is before its begin, a deque whose
# ends lie outside its block map) prints as a marker alone.
#
# include/kel_std/detail/gdb_printers.h holds a copy of this file for
# embedding: after a change, regenerate it with
# cmake/KelStdEmbedGdbPrinters.cmake (a test compares the two). Keep the file
# plain ASCII.

import gdb
import gdb.printing
import gdb.types


class KelStdCorruption(Exception):
    # What is wrong with a container, found while walking it.
    pass


def kel_std_elements(n):
    return '1 element' if n == 1 else '%d elements' % n


def kel_std_base(t, prefix):
    # The class among t and its bases whose name starts with prefix, or None.
    t = t.strip_typedefs()
    if t.tag is not None and t.tag.startswith(prefix):
        return t
    for field in t.fields():
        if field.is_base_class:
            found = kel_std_base(field.type, prefix)
            if found is not None:
                return found
    return None


def kel_std_template_name(val):
    # kel_std::map for a kel_std::map<int, int, ...>.
    return gdb.types.get_basic_type(val.type).tag.split('<', 1)[0]


def kel_std_object_at(address, value_type):
    # The object of value_type at address, read at once: gdb gives up the
    # whole print command when a value it shows turns out unreadable, while
    # an error raised here becomes a marker.
    value = gdb.Value(address).cast(value_type.pointer()).dereference()
    value.fetch_lazy()
    return value


def kel_std_value_at(node_address, link_type, value_type):
    # The value of a node that starts with a link record of link_type and
    # holds the value right after it, as the node templates lay them out.
    align = value_type.alignof
    offset = (link_type.sizeof + align - 1) // align * align
    return kel_std_object_at(node_address + offset, value_type)


def kel_std_element_at(node_address, link_type, value_type, count):
    # kel_std_value_at for a walk, which has shown count elements.
    try:
        return kel_std_value_at(node_address, link_type, value_type)
    except gdb.MemoryError:
        raise KelStdCorruption('an unreadable element at 0x%x after %s' % (node_address, kel_std_elements(count)))


def kel_std_next_of(address, link_type, count):
    # The next link of the node at address, whose links are a link_type
    # record with a member next, for a walk that has shown count elements.
    node = gdb.Value(address).cast(link_type.pointer()).dereference()
    try:
        return int(node['next'])
    except gdb.MemoryError:
        raise KelStdCorruption('an unreadable node at 0x%x after %s' % (address, kel_std_elements(count)))


def kel_std_slot_at(address, value_type, count):
    # An element of an array (a vector's buffer, a deque's block), for a walk
    # that has shown count elements.
    try:
        return kel_std_object_at(address, value_type)
    except gdb.MemoryError:
        raise KelStdCorruption('an unreadable element at 0x%x after %s' % (address, kel_std_elements(count)))


def kel_std_is_pair(value):
    tag = value.type.strip_typedefs().tag
    return tag is not None and tag.startswith('std::pair<')


def kel_std_print_limit():
    # How many characters gdb shows of a string (None: no limit).
    for name in ('print characters', 'print elements'):
        try:
            limit = gdb.parameter(name)
        except (gdb.error, RuntimeError):
            continue
        if limit == 'elements':
            continue
        return None if limit in (None, 0) else int(limit)
    return 200


# ---- what the containers share ----

class KelStdContainerPrinter:
    # '<name> with N elements', then the elements in the order of values():
    # {1, 2, 3} for the sets, {[1] = 'one', [2] = 'two'} for the maps. A
    # container with damage shows the elements before it and a marker. A
    # subclass gives size() and values(), which may raise KelStdCorruption;
    # when size() does (the record itself makes no sense), the container
    # prints as '<corrupted name: what>' alone.

    def __init__(self, val):
        self.val = val
        self.name = kel_std_template_name(val)
        self.is_map = self.name.endswith('map')

    def to_string(self):
        try:
            return '%s with %s' % (self.name, kel_std_elements(self.size()))
        except KelStdCorruption as damage:
            return '<corrupted %s: %s>' % (self.name, damage)

    def display_hint(self):
        return 'map' if self.is_map else 'array'

    def check(self):
        # Raises KelStdCorruption when the record itself is damaged, so that
        # no element can be shown.
        self.size()

    def children(self):
        try:
            self.check()
        except KelStdCorruption:
            return
        index = 0
        try:
            for value in self.values():
                if self.is_map:
                    yield '[%d]' % index, value['first']
                    yield '[%d]' % (index + 1), value['second']
                    index += 2
                else:
                    yield '[%d]' % index, value
                    index += 1
        except KelStdCorruption as damage:
            if self.is_map:
                yield '[%d]' % index, '<corrupted>'
                yield '[%d]' % (index + 1), '<%s>' % damage
            else:
                yield '[%d]' % index, '<corrupted: %s>' % damage


class KelStdIteratorPrinter:
    # The element, or 'end', or 'null' (default-constructed), as position()
    # of a subclass says. A pair (the element of a map) shows as
    # {first = 1, second = 'one'}, without the empty base class that gdb
    # shows of std::pair. Memory is read when gdb asks for the text, so that
    # an unreadable node shows as gdb's error marker.

    def __init__(self, val):
        self.val = val
        self.target = None

    def element(self):
        if self.target is None:
            self.target = self.position()
        return self.target

    def to_string(self):
        target = self.element()
        if isinstance(target, str) or not kel_std_is_pair(target):
            return target
        return None

    def children(self):
        target = self.element()
        if not isinstance(target, str) and kel_std_is_pair(target):
            yield 'first', target['first']
            yield 'second', target['second']


# ---- the string ----

class KelStdStringPrinter:
    # The text, as gdb shows a C string. When the text holds NUL characters,
    # or is longer than gdb shows, its length follows, since gdb shows a NUL
    # as an octal escape and drops one at the end of an array.

    def __init__(self, val):
        self.val = val
        self.shape = None

    def classify(self):
        # ('plain', None), ('annotated', text) or ('corrupted', text).
        if self.shape is not None:
            return self.shape
        length = int(self.val['length'])
        capacity = int(self.val['capacity'])
        data = self.val['data']
        if int(data) == 0:
            if length != 0 or capacity != 0:
                self.shape = ('corrupted', '<corrupted kel_std::string: no buffer, length %d, capacity %d>'
                              % (length, capacity))
            else:
                self.shape = ('plain', None)
            return self.shape
        if length >= capacity:
            self.shape = ('corrupted', '<corrupted kel_std::string: length %d, capacity %d>' % (length, capacity))
            return self.shape
        limit = kel_std_print_limit()
        shown = length if limit is None else min(length, limit)
        head = bytes(gdb.selected_inferior().read_memory(int(data), shown)) if shown > 0 else b''
        if shown == length and head.find(bytes([0])) < 0:
            self.shape = ('plain', None)
            return self.shape
        # Shown as a character array. gdb drops a NUL at the end of an array,
        # so a whole text is shown with its terminator, and NULs at the end
        # of the text stay visible. A text cut short by the limit is shown up
        # to the limit, as gdb shows a C string: runs of one character do not
        # reach past it, and '...' follows.
        char = data.dereference().type.unqualified()
        if shown == length:
            chars, more = char.array(length), ''
        else:
            chars, more = char.array(shown - 1), '...'
        text = data.cast(chars.pointer()).dereference().format_string()
        self.shape = ('annotated', '%s%s (length %d)' % (text, more, length))
        return self.shape

    def to_string(self):
        kind, text = self.classify()
        if kind != 'plain':
            return text
        return self.val['data'].lazy_string(length=int(self.val['length']))

    def display_hint(self):
        try:
            return 'string' if self.classify()[0] == 'plain' else None
        except gdb.error:
            return None


class KelStdContiguousIteratorPrinter:
    # A string iterator: the text from there on, as gdb shows a character
    # pointer (the end shows the empty text at the terminator), or 'null'.

    def __init__(self, val):
        self.val = val

    def to_string(self):
        pointer = self.val['p_']
        return 'null' if int(pointer) == 0 else pointer


# ---- the ordered containers ----

def kel_std_is_header(node):
    # The header is the only red node whose parent is null (no sentinel yet),
    # a sentinel (left link null) or its own child (the root, which is black).
    if int(node['color']) != 0:
        return False
    parent = node['parent']
    if int(parent) == 0:
        return True
    return int(parent['left']) == 0 or int(parent['parent']) == int(node.address)


class KelStdTreeWalk:
    # The element nodes of a tree in order, as addresses; raises
    # KelStdCorruption at the first sign of damage.

    def __init__(self, impl):
        self.header_address = int(impl['header'].address)
        self.nil = int(impl['nil'])
        self.size = int(impl['size'])
        self.first = int(impl['header']['left'])
        self.node_type = impl['header'].type.strip_typedefs()
        # No path in a red-black tree of n nodes is longer than
        # 2 log2(n + 1) links; a longer one is a loop.
        self.max_path = 2 * (self.size + 1).bit_length() + 2
        self.count = 0

    def links(self, address):
        if address == 0:
            raise KelStdCorruption('a null link after %s' % kel_std_elements(self.count))
        node = gdb.Value(address).cast(self.node_type.pointer()).dereference()
        try:
            node.fetch_lazy()
        except gdb.MemoryError:
            raise KelStdCorruption('an unreadable node at 0x%x after %s' % (address, kel_std_elements(self.count)))
        return int(node['parent']), int(node['left']), int(node['right'])

    def endless(self):
        return KelStdCorruption('an endless path after %s' % kel_std_elements(self.count))

    def successor(self, x):
        # The steps of the library's tree_next, each loop bounded, each node
        # read once.
        y, _, right = self.links(x)
        if right != self.nil:
            x = right
            for _ in range(self.max_path):
                left = self.links(x)[1]
                if left == self.nil:
                    return x
                x = left
            raise self.endless()
        for _ in range(self.max_path):
            parent, _, y_right = self.links(y)
            if x != y_right:
                # Climbing from the last node when the root is the last node
                # goes one level too far, to the header; the header's right
                # link (the root) says so.
                return x if right == y else y
            x, right = y, y_right
            y = parent
        raise self.endless()

    def __iter__(self):
        if self.size == 0:
            return
        if self.nil == 0:
            raise KelStdCorruption('no sentinel with %s' % kel_std_elements(self.size))
        seen = set()
        x = self.first
        while self.count < self.size:
            if x == self.header_address:
                raise KelStdCorruption('the tree ends after %d of %s' % (self.count, kel_std_elements(self.size)))
            if x == self.nil:
                raise KelStdCorruption('the sentinel as an element after %s' % kel_std_elements(self.count))
            if x in seen:
                raise KelStdCorruption('a cycle after %s' % kel_std_elements(self.count))
            seen.add(x)
            yield x
            self.count += 1
            if self.count < self.size:
                x = self.successor(x)
        # The last element's successor must be the header (the climb from the
        # last node stops one level early when the root is the last node).
        after = self.successor(x)
        if after in seen:
            raise KelStdCorruption('a cycle after %s' % kel_std_elements(self.count))
        if after != self.header_address:
            raise KelStdCorruption('more than %s' % kel_std_elements(self.size))


class KelStdTreePrinter(KelStdContainerPrinter):
    # set, multiset, map and multimap.

    def size(self):
        return int(self.val['impl_']['size'])

    def values(self):
        impl = self.val['impl_']
        value_type = kel_std_base(self.val.type, 'kel_std::detail::rb_tree<').template_argument(1)
        walk = KelStdTreeWalk(impl)
        for address in walk:
            yield kel_std_element_at(address, impl['header'].type, value_type, walk.count)


class KelStdTreeIteratorPrinter(KelStdIteratorPrinter):

    def position(self):
        node = self.val['node_']
        if int(node) == 0:
            return 'null'
        if kel_std_is_header(node.dereference()):
            return 'end'
        value_type = gdb.types.get_basic_type(self.val.type).template_argument(0)
        return kel_std_value_at(int(node), node.dereference().type, value_type)


# ---- hashed containers ----

class KelStdHashWalk:
    # The element nodes of a hash table in iteration order (bucket by bucket,
    # each bucket's chain in turn), as addresses; raises KelStdCorruption at
    # the first sign of damage. Bucket heads are read a block at a time as
    # the walk reaches them, so that gdb's element limit also limits what is
    # read.

    block = 1024

    def __init__(self, state):
        self.table = state['table']
        self.size = int(state['size'])
        self.buckets = int(state['mask']) + 1
        self.count = 0
        self.link_type = self.table.type.strip_typedefs().target()['head'].type.target()

    def heads(self, first):
        # The heads of buckets first, first + 1, ... up to a block of them.
        n = min(self.block, self.buckets - first)
        slot_size = self.table.type.strip_typedefs().target().sizeof
        try:
            raw = gdb.selected_inferior().read_memory(int(self.table) + (1 + first) * slot_size, n * slot_size)
        except gdb.MemoryError:
            raise KelStdCorruption('unreadable buckets from %d after %s' % (first, kel_std_elements(self.count)))
        words = gdb.Value(raw.tobytes(), self.link_type.pointer().array(n - 1))
        return [int(words[i]) for i in range(n)]

    def __iter__(self):
        if self.size == 0:
            return
        if int(self.table) == 0:
            raise KelStdCorruption('no buckets with %s' % kel_std_elements(self.size))
        seen = set()
        for first in range(0, self.buckets, self.block):
            for x in self.heads(first):
                while x != 0:
                    if x in seen:
                        raise KelStdCorruption('a cycle after %s' % kel_std_elements(self.count))
                    if self.count == self.size:
                        raise KelStdCorruption('more than %s' % kel_std_elements(self.size))
                    seen.add(x)
                    yield x
                    self.count += 1
                    x = kel_std_next_of(x, self.link_type, self.count)
        if self.count != self.size:
            raise KelStdCorruption('the table ends after %d of %s' % (self.count, kel_std_elements(self.size)))


class KelStdHashPrinter(KelStdContainerPrinter):
    # unordered_set, unordered_multiset, unordered_map, unordered_multimap,
    # in their iteration order.

    def size(self):
        return int(self.val['impl_']['size'])

    def values(self):
        walk = KelStdHashWalk(self.val['impl_'])
        value_type = kel_std_base(self.val.type, 'kel_std::detail::hash_table<').template_argument(1)
        for address in walk:
            yield kel_std_element_at(address, walk.link_type, value_type, walk.count)


class KelStdHashIteratorPrinter(KelStdIteratorPrinter):
    # Iterators over a whole table or over one bucket: the end is a null node.

    def position(self):
        node = self.val['node_']
        if int(node) == 0:
            return 'end'
        value_type = gdb.types.get_basic_type(self.val.type).template_argument(0)
        return kel_std_value_at(int(node), node.dereference().type, value_type)


# ---- sequence containers ----

class KelStdVectorPrinter(KelStdContainerPrinter):
    # vector: the elements from first to last; the buffer's capacity ends at
    # limit. All three are null without a buffer.

    def __init__(self, val):
        KelStdContainerPrinter.__init__(self, val)
        impl = val['impl_']
        self.first, self.last, self.limit = (int(impl[m]) for m in ('first', 'last', 'limit'))
        self.value_type = impl['first'].type.strip_typedefs().target()

    def size(self):
        width = self.value_type.sizeof
        if self.first == 0 and (self.last != 0 or self.limit != 0):
            raise KelStdCorruption('no buffer, end 0x%x, capacity end 0x%x' % (self.last, self.limit))
        if self.last < self.first:
            raise KelStdCorruption('end %d bytes before begin' % (self.first - self.last))
        if (self.last - self.first) % width != 0:
            raise KelStdCorruption('%d bytes of %d-byte elements' % (self.last - self.first, width))
        n = (self.last - self.first) // width
        if self.limit < self.last:
            raise KelStdCorruption('%s, capacity %d' % (kel_std_elements(n), (self.limit - self.first) // width))
        return n

    def values(self):
        width = self.value_type.sizeof
        for i in range(self.size()):
            yield kel_std_slot_at(self.first + i * width, self.value_type, i)


class KelStdDequePrinter(KelStdContainerPrinter):
    # deque: the map (an array of map_size block pointers) lists the blocks
    # in order, the iterators start and finish give the first element and
    # the slot past the last. A deque that holds no map has null members
    # throughout.

    def __init__(self, val):
        KelStdContainerPrinter.__init__(self, val)
        state = val['impl_']
        self.map = int(state['map'])
        self.map_size = int(state['map_size'])
        self.start = [int(state['start'][m]) for m in ('cur_', 'first_', 'last_', 'node_')]
        self.finish = [int(state['finish'][m]) for m in ('cur_', 'first_', 'last_', 'node_')]
        self.block_pointer = state['map'].type.strip_typedefs().target()
        self.value_type = self.block_pointer.target()
        # Elements per block, as deque_block_size computes it: as many as
        # fit in 4096 bytes, rounded down to a power of two, and at least 16.
        width = self.value_type.sizeof
        self.block = 16 if width > 4096 // 16 else 1 << ((4096 // width).bit_length() - 1)

    def offset(self, position, name):
        # The place of an iterator counted in elements from the start of the
        # map's first block.
        cur, first, last, node = position
        width = self.value_type.sizeof
        slot = (node - self.map) // self.block_pointer.sizeof
        if node < self.map or (node - self.map) % self.block_pointer.sizeof != 0 or slot >= self.map_size:
            raise KelStdCorruption('%s outside the block map' % name)
        if last - first != self.block * width or cur < first or cur >= last or (cur - first) % width != 0:
            raise KelStdCorruption('%s outside its block' % name)
        return slot * self.block + (cur - first) // width

    def size(self):
        if self.map == 0:
            if any(self.start) or any(self.finish) or self.map_size != 0:
                raise KelStdCorruption('no block map')
            return 0
        start = self.offset(self.start, 'start')
        n = self.offset(self.finish, 'finish') - start
        if n < 0:
            raise KelStdCorruption('finish before start')
        return n

    def values(self):
        n = self.size()
        if n == 0:
            return
        width = self.value_type.sizeof
        slot, index = divmod(self.offset(self.start, 'start'), self.block)
        count = 0
        while count < n:
            entry = self.map + slot * self.block_pointer.sizeof
            try:
                block = int(kel_std_object_at(entry, self.block_pointer))
            except gdb.MemoryError:
                raise KelStdCorruption('an unreadable block map at 0x%x after %s' % (entry, kel_std_elements(count)))
            if block == 0:
                raise KelStdCorruption('a null block after %s' % kel_std_elements(count))
            for i in range(index, min(self.block, index + n - count)):
                yield kel_std_slot_at(block + i * width, self.value_type, count)
                count += 1
            slot, index = slot + 1, 0


class KelStdChainWalk:
    # The element nodes of a list or a forward_list in order, as addresses,
    # from first along the next links up to stop (a list's sentinel, null
    # for a forward_list); raises KelStdCorruption at the first sign of
    # damage. size is the count a list keeps (None for a forward_list, which
    # keeps none); limit, if given, ends the walk quietly after that many
    # nodes.

    def __init__(self, first, stop, link_type, size=None, limit=None):
        self.first = first
        self.stop = stop
        self.link_type = link_type
        self.size = size
        self.limit = limit
        self.count = 0

    def __iter__(self):
        seen = set()
        x = self.first
        while x != self.stop and self.count != self.limit:
            if x == 0:
                raise KelStdCorruption('a null link after %s' % kel_std_elements(self.count))
            if x in seen:
                raise KelStdCorruption('a cycle after %s' % kel_std_elements(self.count))
            if self.count == self.size:
                raise KelStdCorruption('more than %s' % kel_std_elements(self.size))
            seen.add(x)
            # The link is read before the element is shown, so that a wild
            # link reports the node it leads to.
            after = kel_std_next_of(x, self.link_type, self.count)
            yield x
            self.count += 1
            x = after
        if self.size is not None and self.count != self.size:
            raise KelStdCorruption('the list ends after %d of %s' % (self.count, kel_std_elements(self.size)))


class KelStdListPrinter(KelStdContainerPrinter):
    # list: the sentinel, a link within the object, leads to the first node
    # and is the last node's successor; the list keeps its size.

    def size(self):
        return int(self.val['impl_']['size'])

    def values(self):
        sentinel = self.val['impl_']['sentinel']
        link_type = sentinel.type.strip_typedefs()
        value_type = gdb.types.get_basic_type(self.val.type).template_argument(0)
        walk = KelStdChainWalk(int(sentinel['next']), int(sentinel.address), link_type, size=self.size())
        for address in walk:
            yield kel_std_element_at(address, link_type, value_type, walk.count)


class KelStdForwardListPrinter(KelStdContainerPrinter):
    # forward_list: a chain of nodes from the head link, ended by a null
    # link. It keeps no size: the summary counts the nodes, up to
    # count_limit of them (reading a long list node by node takes gdb a
    # while), and says 'corrupted' when the chain is damaged; the elements
    # then show where.

    count_limit = 100000

    def walk(self, limit=None):
        head = self.val['impl_']['head']
        return KelStdChainWalk(int(head['next']), 0, head.type.strip_typedefs(), limit=limit)

    def to_string(self):
        walk = self.walk(self.count_limit + 1)
        try:
            for _ in walk:
                pass
        except KelStdCorruption:
            return 'corrupted %s' % self.name
        if walk.count > self.count_limit:
            return '%s with more than %s' % (self.name, kel_std_elements(self.count_limit))
        return '%s with %s' % (self.name, kel_std_elements(walk.count))

    def check(self):
        pass

    def values(self):
        walk = self.walk()
        value_type = gdb.types.get_basic_type(self.val.type).template_argument(0)
        for address in walk:
            yield kel_std_element_at(address, walk.link_type, value_type, walk.count)


class KelStdAdaptorPrinter:
    # stack, queue, priority_queue: the adapted container, as its own printer
    # shows it (a priority_queue's in heap order, the top first).

    def __init__(self, val):
        self.name = kel_std_template_name(val)
        self.container = val['c']
        self.visualizer = gdb.default_visualizer(self.container)

    def to_string(self):
        if self.visualizer is None:
            return '%s wrapping: %s' % (self.name, self.container.format_string())
        return '%s wrapping: %s' % (self.name, self.visualizer.to_string())

    def display_hint(self):
        if hasattr(self.visualizer, 'display_hint'):
            return self.visualizer.display_hint()
        return None

    def children(self):
        if hasattr(self.visualizer, 'children'):
            return self.visualizer.children()
        return iter(())


class KelStdVectorIteratorPrinter(KelStdIteratorPrinter):
    # The element, or 'null'. A past-the-end iterator cannot be told from
    # the iterator alone: it shows what lies past the last element.

    def position(self):
        pointer = self.val['p_']
        if int(pointer) == 0:
            return 'null'
        return kel_std_object_at(int(pointer), pointer.type.strip_typedefs().target())


class KelStdDequeIteratorPrinter(KelStdIteratorPrinter):
    # The element, or 'null' (default-constructed, or of a deque that holds
    # no block). As for vectors, the end shows the slot past the last
    # element.

    def position(self):
        cur = self.val['cur_']
        if int(cur) == 0:
            return 'null'
        return kel_std_object_at(int(cur), cur.type.strip_typedefs().target())


class KelStdListIteratorPrinter(KelStdIteratorPrinter):
    # The element, 'end' (the sentinel: the link whose successor has no back
    # link) or 'null'.

    def position(self):
        node = self.val['node_']
        if int(node) == 0:
            return 'null'
        if int(node['next']['prev']) == 0:
            return 'end'
        value_type = gdb.types.get_basic_type(self.val.type).template_argument(0)
        return kel_std_value_at(int(node), node.dereference().type, value_type)


class KelStdForwardListIteratorPrinter(KelStdIteratorPrinter):
    # The element, or 'end' (a null node, which is also what a
    # default-constructed iterator holds). before_begin() cannot be told
    # from an element: it shows what follows the list's head link.

    def position(self):
        node = self.val['node_']
        if int(node) == 0:
            return 'end'
        value_type = gdb.types.get_basic_type(self.val.type).template_argument(0)
        return kel_std_value_at(int(node), node.dereference().type, value_type)


# ---- node handles ----

class KelStdNodeHandlePrinter:
    # {42} for a set's node, {[1] = 'one'} for a map's, or 'empty'.

    def __init__(self, val):
        self.val = val
        self.is_map = kel_std_template_name(val).endswith('map_node_handle')

    def to_string(self):
        if int(self.val['node_']) == 0:
            return 'empty kel_std node handle'
        return 'kel_std node handle'

    def display_hint(self):
        return 'map' if self.is_map else 'array'

    def children(self):
        node = self.val['node_']
        if int(node) == 0:
            return
        value = node.dereference()['value_']
        try:
            value.fetch_lazy()
        except gdb.MemoryError:
            yield '[0]', '<unreadable node at 0x%x>' % int(node)
            return
        if self.is_map:
            yield '[0]', value['first']
            yield '[1]', value['second']
        else:
            yield '[0]', value


def kel_std_build_printers():
    printers = gdb.printing.RegexpCollectionPrettyPrinter('kel_std')
    printers.add_printer('string', '^kel_std::basic_string<char,', KelStdStringPrinter)
    printers.add_printer('string-iterator',
                         '^kel_std::detail::contiguous_iterator<(const )?char( const)?, kel_std::basic_string<',
                         KelStdContiguousIteratorPrinter)
    printers.add_printer('set', '^kel_std::(multi)?set<', KelStdTreePrinter)
    printers.add_printer('map', '^kel_std::(multi)?map<', KelStdTreePrinter)
    printers.add_printer('tree-iterator', '^kel_std::detail::tree_(const_)?iterator<', KelStdTreeIteratorPrinter)
    printers.add_printer('unordered', '^kel_std::unordered_(multi)?(set|map)<', KelStdHashPrinter)
    printers.add_printer('hash-iterator', '^kel_std::detail::hash_(local_)?iterator<', KelStdHashIteratorPrinter)
    printers.add_printer('node-handle', '^kel_std::detail::(set|map)_node_handle<', KelStdNodeHandlePrinter)
    printers.add_printer('vector', '^kel_std::vector<', KelStdVectorPrinter)
    printers.add_printer('vector-iterator', '^kel_std::detail::contiguous_iterator<.*, kel_std::vector<',
                         KelStdVectorIteratorPrinter)
    printers.add_printer('deque', '^kel_std::deque<', KelStdDequePrinter)
    printers.add_printer('deque-iterator', '^kel_std::detail::deque_iterator<', KelStdDequeIteratorPrinter)
    printers.add_printer('list', '^kel_std::list<', KelStdListPrinter)
    printers.add_printer('list-iterator', '^kel_std::detail::list_iterator<', KelStdListIteratorPrinter)
    printers.add_printer('forward-list', '^kel_std::forward_list<', KelStdForwardListPrinter)
    printers.add_printer('forward-list-iterator', '^kel_std::detail::fwd_iterator<',
                         KelStdForwardListIteratorPrinter)
    printers.add_printer('adaptor', '^kel_std::(stack|queue|priority_queue)<', KelStdAdaptorPrinter)
    return printers


def kel_std_register_printers(objfile):
    # objfile None: for every program gdb debugs.
    gdb.printing.register_pretty_printer(objfile, kel_std_build_printers(), replace=True)


kel_std_register_printers(gdb.current_objfile())
