# GDB pretty printers for kel_std: the string, the ordered and the hashed
# containers, their iterators and node handles.
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
# a marker such as <corrupted: a cycle after 3 elements>.
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


def kel_std_value_at(node_address, link_type, value_type):
    # The value of a node that starts with a link record of link_type and
    # holds the value right after it, as the node templates lay them out.
    # Read at once: gdb gives up the whole print command when a value it
    # shows turns out unreadable, while an error raised here becomes a
    # marker.
    align = value_type.alignof
    offset = (link_type.sizeof + align - 1) // align * align
    value = gdb.Value(node_address + offset).cast(value_type.pointer()).dereference()
    value.fetch_lazy()
    return value


def kel_std_element_at(node_address, link_type, value_type, count):
    # kel_std_value_at for a walk, which has shown count elements.
    try:
        return kel_std_value_at(node_address, link_type, value_type)
    except gdb.MemoryError:
        raise KelStdCorruption('an unreadable element at 0x%x after %s' % (node_address, kel_std_elements(count)))


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
    # subclass gives size() and values(), which may raise KelStdCorruption.

    def __init__(self, val):
        self.val = val
        self.name = kel_std_template_name(val)
        self.is_map = self.name.endswith('map')

    def to_string(self):
        return '%s with %s' % (self.name, kel_std_elements(self.size()))

    def display_hint(self):
        return 'map' if self.is_map else 'array'

    def children(self):
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

    def next_of(self, address):
        node = gdb.Value(address).cast(self.link_type.pointer()).dereference()
        try:
            return int(node['next'])
        except gdb.MemoryError:
            raise KelStdCorruption('an unreadable node at 0x%x after %s' % (address, kel_std_elements(self.count)))

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
                    x = self.next_of(x)
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
    printers.add_printer('string-iterator', '^kel_std::detail::contiguous_iterator<', KelStdContiguousIteratorPrinter)
    printers.add_printer('set', '^kel_std::(multi)?set<', KelStdTreePrinter)
    printers.add_printer('map', '^kel_std::(multi)?map<', KelStdTreePrinter)
    printers.add_printer('tree-iterator', '^kel_std::detail::tree_(const_)?iterator<', KelStdTreeIteratorPrinter)
    printers.add_printer('unordered', '^kel_std::unordered_(multi)?(set|map)<', KelStdHashPrinter)
    printers.add_printer('hash-iterator', '^kel_std::detail::hash_(local_)?iterator<', KelStdHashIteratorPrinter)
    printers.add_printer('node-handle', '^kel_std::detail::(set|map)_node_handle<', KelStdNodeHandlePrinter)
    return printers


def kel_std_register_printers(objfile):
    # objfile None: for every program gdb debugs.
    gdb.printing.register_pretty_printer(objfile, kel_std_build_printers(), replace=True)


kel_std_register_printers(gdb.current_objfile())
