"""Reads the running editor through the accessibility bus (AT-SPI) and checks
what a screen reader gets: one tree row per visible node, named by its label,
read through the tree's table; the chosen row selected and focused; the row
that takes a deleted item's place announced as focused; the check boxes as
check boxes with their state; a name for every field, and its panel as its
parent; no two buttons with the same name.

Usage: atspi-check.py LIBRARY   (the .TQF file the editor has open)
"""

import re
import sys
import time

import dbus
import dbus.mainloop.glib
from gi.repository import GLib

ACCESSIBLE = "org.a11y.atspi.Accessible"
ACTION = "org.a11y.atspi.Action"
COMPONENT = "org.a11y.atspi.Component"
PROPERTIES = "org.freedesktop.DBus.Properties"
TABLE = "org.a11y.atspi.Table"
EVENT_OBJECT = "org.a11y.atspi.Event.Object"
REGISTRY = ("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root")
EVENT_REGISTRY = ("org.a11y.atspi.Registry", "/org/a11y/atspi/registry")
PANELS = ("SECS Message", "Sub Item", "Node Move")
STATE_CHECKED = 4
STATE_FOCUSED = 12
STATE_SELECTED = 23
STATE_MANAGES_DESCENDANTS = 31
RELATION_LABELLED_BY = 2
WAIT_SECONDS = 60
# A label line of the library: a message header or an item.
LABEL_LINE = re.compile(r"^\s*(S\d+F\d+|<)")
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


class Node:
    def __init__(self, bus, ref):
        self.bus = bus
        self.ref = (str(ref[0]), str(ref[1]))
        self.obj = bus.get_object(self.ref[0], self.ref[1], introspect=False)

    def name(self):
        return str(self.obj.Get(ACCESSIBLE, "Name", dbus_interface=PROPERTIES))

    def role(self):
        return str(self.obj.GetRoleName(dbus_interface=ACCESSIBLE))

    def children(self):
        return [Node(self.bus, ref) for ref in self.obj.GetChildren(dbus_interface=ACCESSIBLE)]

    def parent(self):
        return Node(self.bus, self.obj.Get(ACCESSIBLE, "Parent", dbus_interface=PROPERTIES))

    def description(self):
        return str(self.obj.Get(ACCESSIBLE, "Description", dbus_interface=PROPERTIES))

    def row_count(self):
        return int(self.obj.Get(TABLE, "NRows", dbus_interface=PROPERTIES))

    def cell(self, row):
        return Node(self.bus, self.obj.GetAccessibleAt(row, 0, dbus_interface=TABLE))

    def selected_rows(self):
        return [int(row) for row in self.obj.GetSelectedRows(dbus_interface=TABLE)]

    def labelled(self):
        return any(int(kind) == RELATION_LABELLED_BY for kind, _ in self.obj.GetRelationSet(dbus_interface=ACCESSIBLE))

    def has(self, state):
        words = self.obj.GetState(dbus_interface=ACCESSIBLE)
        return bool((int(words[state // 32]) >> (state % 32)) & 1)

    def act(self, action):
        names = [str(self.obj.GetName(i, dbus_interface=ACTION)) for i in range(int(self.obj.Get(ACTION, "NActions", dbus_interface=PROPERTIES)))]
        self.obj.DoAction(names.index(action), dbus_interface=ACTION)


def accessibility_bus():
    session = dbus.SessionBus()
    address = session.get_object("org.a11y.Bus", "/org/a11y/bus").GetAddress(dbus_interface="org.a11y.Bus")
    return dbus.bus.BusConnection(str(address), mainloop=dbus.mainloop.glib.DBusGMainLoop())


def pump(seconds):
    """Delivers the bus's signals for a while."""
    context = GLib.MainContext.default()
    deadline = time.time() + seconds
    while time.time() < deadline:
        if not context.iteration(False):
            time.sleep(0.02)


def find_window(bus):
    deadline = time.time() + WAIT_SECONDS
    while time.time() < deadline:
        try:
            for app in Node(bus, REGISTRY).children():
                windows = app.children()
                if "tqf" in app.name().lower() and windows:
                    return windows[0]
        except dbus.DBusException:
            pass
        time.sleep(0.5)
    sys.exit("atspi-check: the editor did not appear on the accessibility bus")


def walk(window):
    """Every object of the window but the tree's rows, and the tree."""
    found, tree, stack = [], None, [window]
    while stack:
        node = stack.pop()
        found.append(node)
        if node.role() == "tree":
            tree = node
            continue
        stack.extend(node.children())
    return found, tree


def check_delete_announced(bus, tree, objects):
    """Deletes an item that has a next sibling with the item panel's Delete
    and listens for the row that takes its place to be announced as focused."""
    places = [re.match(r"level (\d+), (\d+) of (\d+)", tree.cell(row).description()) for row in range(tree.row_count())]
    victim = next((i for i in range(len(places) - 1) if places[i] and places[i + 1] and int(places[i].group(1)) >= 2
                   and places[i].group(1) == places[i + 1].group(1) and int(places[i].group(2)) < int(places[i].group(3))),
                  None)
    check(victim is not None, "the library has an item with a next sibling")
    delete = next((node for node in objects if node.name() == "Delete item"), None)
    check(delete is not None, "the item panel's 'Delete' is named 'Delete item'")
    if victim is None or delete is None:
        return
    expected = tree.cell(victim + 1).name()
    focused = []

    def on_state(kind, detail, *rest, sender=None, path=None):
        if str(kind) == "focused" and int(detail) == 1:
            focused.append((str(sender), str(path)))

    bus.add_signal_receiver(on_state, signal_name="StateChanged", dbus_interface=EVENT_OBJECT,
                            sender_keyword="sender", path_keyword="path")
    bus.get_object(*EVENT_REGISTRY).RegisterEvent("object:state-changed:focused", dbus.Array([], signature="s"), "",
                                                  dbus_interface="org.a11y.atspi.Registry")
    pump(0.5)
    tree.obj.GrabFocus(dbus_interface=COMPONENT)
    tree.cell(victim).act("Press")
    pump(0.5)
    focused.clear()
    delete.act("Press")
    pump(1.5)
    said = [Node(bus, ref).name() for ref in focused]
    check(expected in said, f"after a delete the row that takes its place, {expected!r}, is announced: {said}")
    check(tree.cell(victim).name() == expected and tree.cell(victim).has(STATE_FOCUSED),
          f"the row {expected!r} is focused in the deleted item's place")


def main():
    with open(sys.argv[1], encoding="latin-1") as library:
        labels = [line.strip() for line in library if LABEL_LINE.match(line)]
    bus = accessibility_bus()
    window = find_window(bus)
    # The library is read after the window shows; wait for its rows.
    deadline = time.time() + WAIT_SECONDS
    while True:
        objects, tree = walk(window)
        if tree is not None and tree.row_count() >= len(labels) or time.time() > deadline:
            break
        time.sleep(0.5)
    check(tree is not None, "the window holds a tree")
    if tree is None:
        return
    # Through the table, as a reader that asks only for the rows it shows.
    check(tree.has(STATE_MANAGES_DESCENDANTS), "the tree tells readers not to walk all its rows")
    count = tree.row_count()
    check(count == len(labels), f"the table has one row per visible node: {count} rows, {len(labels)} nodes")
    # Each row read as it is asked for: a tree keeps only the rows asked for
    # last.
    names = [tree.cell(row).name() for row in range(count)]
    first = labels[0].split(" (")[0]
    check(bool(names) and names[0] == first, f"the first row is named {first!r}: {names[:1]}")
    check(all(names), "every row has a name")

    tree.obj.GrabFocus(dbus_interface=COMPONENT)
    chosen = tree.cell(min(3, count - 1))
    chosen.act("Press")
    time.sleep(0.5)
    check(chosen.has(STATE_SELECTED), f"the chosen row {chosen.name()!r} is selected")
    check(chosen.has(STATE_FOCUSED), f"the chosen row {chosen.name()!r} is focused")
    at = min(3, count - 1)
    check(tree.selected_rows() == [at], f"the table's selected row is the chosen one: {tree.selected_rows()}")
    tree.obj.AddRowSelection(at + 1, dbus_interface=TABLE)
    time.sleep(0.3)
    check(tree.selected_rows() == [at + 1], f"selecting a row of the table chooses it: {tree.selected_rows()}")

    boxes = {node.name(): node for node in objects if node.role() == "check box"}
    for box in ("Reply Required", "Not Fixed"):
        check(box in boxes, f"{box!r} is a check box")
    reply = boxes.get("Reply Required")
    if reply is not None:
        before = reply.has(STATE_CHECKED)
        reply.act("Toggle")
        time.sleep(0.3)
        check(reply.has(STATE_CHECKED) != before, "toggling 'Reply Required' changes its checked state")

    check_delete_announced(bus, tree, objects)

    fields = [node for node in objects if node.role() in ("text", "combo box")]
    parents = {field.name(): field.parent().name() for field in fields}
    check(all(name in PANELS for name in parents.values()), f"every field lies in a named panel: {parents}")
    moves = [node.parent().name() for node in objects if node.name() in ("Move up", "Move down")]
    check(moves == ["Node Move", "Node Move"], f"the move buttons lie in the 'Node Move' panel: {moves}")
    check(len(fields) >= 6 and all(node.name() for node in fields),
          f"every field has a name: {[node.name() for node in fields]}")
    # A combo box's name is its current text; readers name it by its label.
    check(all(node.labelled() for node in fields), "every field is labelled by the label beside it")
    buttons = [node.name() for node in objects if node.role() == "push button"]
    check(len(buttons) == len(set(buttons)) and all(buttons), f"no two buttons share a name: {buttons}")


if __name__ == "__main__":
    main()
    if failures:
        sys.exit(f"atspi-check: {len(failures)} check(s) failed")
    print("atspi-check: passed")
