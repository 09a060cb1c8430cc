"""Reads the running editor through the accessibility bus (AT-SPI) and checks
what a screen reader gets: one tree row per visible node, named by its label;
the chosen row selected and focused; the check boxes as check boxes with their
state; a name for every field; no two buttons with the same name.

Usage: atspi-check.py LIBRARY   (the .TQF file the editor has open)
"""

import re
import sys
import time

import dbus

ACCESSIBLE = "org.a11y.atspi.Accessible"
ACTION = "org.a11y.atspi.Action"
COMPONENT = "org.a11y.atspi.Component"
PROPERTIES = "org.freedesktop.DBus.Properties"
REGISTRY = ("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root")
STATE_CHECKED = 4
STATE_FOCUSED = 12
STATE_SELECTED = 23
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
    return dbus.bus.BusConnection(str(address))


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


def main():
    with open(sys.argv[1], encoding="latin-1") as library:
        labels = [line.strip() for line in library if LABEL_LINE.match(line)]
    bus = accessibility_bus()
    window = find_window(bus)
    # The library is read after the window shows; wait for its rows.
    deadline = time.time() + WAIT_SECONDS
    while True:
        objects, tree = walk(window)
        if tree is not None and len(tree.children()) >= len(labels) or time.time() > deadline:
            break
        time.sleep(0.5)
    check(tree is not None, "the window holds a tree")
    if tree is None:
        return
    rows = tree.children()
    check(len(rows) == len(labels), f"one row per visible node: {len(rows)} rows, {len(labels)} nodes")
    names = [row.name() for row in rows]
    first = labels[0].split(" (")[0]
    check(bool(names) and names[0] == first, f"the first row is named {first!r}: {names[:1]}")
    check(all(names), "every row has a name")

    tree.obj.GrabFocus(dbus_interface=COMPONENT)
    chosen = rows[min(3, len(rows) - 1)]
    chosen.act("Press")
    time.sleep(0.5)
    check(chosen.has(STATE_SELECTED), f"the chosen row {chosen.name()!r} is selected")
    check(chosen.has(STATE_FOCUSED), f"the chosen row {chosen.name()!r} is focused")

    boxes = {node.name(): node for node in objects if node.role() == "check box"}
    for box in ("Reply Required", "Not Fixed"):
        check(box in boxes, f"{box!r} is a check box")
    reply = boxes.get("Reply Required")
    if reply is not None:
        before = reply.has(STATE_CHECKED)
        reply.act("Toggle")
        time.sleep(0.3)
        check(reply.has(STATE_CHECKED) != before, "toggling 'Reply Required' changes its checked state")

    fields = [node for node in objects if node.role() in ("text", "combo box")]
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
