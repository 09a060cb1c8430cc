#!/usr/bin/env python3
"""Writes examples/gem-messages.TQF: the GEM messages of streams 1, 2, 5, 6,
7, 9 and 10, each item named by its data item, with a data-item dictionary
filled from a table of data-item facts (name, formats, other formats seen,
fixed count, value codes; tab-separated, "#" lines are comments).

    scripts/make-gem-messages.py data-items.tsv | tqf-tool normalize - -o examples/gem-messages.TQF

The text written here is read and written again by tqf-tool normalize, which
gives it the one form a save writes.
"""
import sys

# Format codes of the table that a definition can hold, in the file's words.
CODES = {"L", "B", "BOOLEAN", "A", "J", "I1", "I2", "I4", "I8", "U1", "U2", "U4", "U8", "F4", "F8"}
FILE_CODE = {"J": "J8"}

# The messages: (label, description, direction, reply optional, item).
# An item is a data-item name, ("L", [items]) for a list of fixed length,
# ("L*", item) for a list of any length, or (name, "[n]") for a vector.
H, E, BOTH = "H->E", "E->H", "both"
MESSAGES = [
    ("S1F1W", "Are You There", BOTH, False, None),
    ("S1F2", "On Line Data", E, False, ("L", ["MDLN", "SOFTREV"])),
    ("S1F2", "On Line Data", H, False, ("L", [])),
    ("S1F3W", "Selected Equipment Status Request", H, False, ("L*", "SVID")),
    ("S1F4", "Selected Equipment Status Data", E, False, ("L*", "SV")),
    ("S1F11W", "Status Variable Namelist Request", H, False, ("L*", "SVID")),
    ("S1F12", "Status Variable Namelist Reply", E, False, ("L*", ("L", ["SVID", "SVNAME", "UNITS"]))),
    ("S1F13W", "Establish Communications Request", E, False, ("L", ["MDLN", "SOFTREV"])),
    ("S1F13W", "Establish Communications Request", H, False, ("L", [])),
    ("S1F14", "Establish Communications Acknowledge", E, False,
     ("L", ["COMMACK", ("L", ["MDLN", "SOFTREV"])])),
    ("S1F14", "Establish Communications Acknowledge", H, False, ("L", ["COMMACK", ("L", [])])),
    ("S1F15W", "Request Off-Line", H, False, None),
    ("S1F16", "Off-Line Acknowledge", E, False, "OFLACK"),
    ("S1F17W", "Request On-Line", H, False, None),
    ("S1F18", "On-Line Acknowledge", E, False, "ONLACK"),
    ("S2F13W", "Equipment Constant Request", H, False, ("L*", "ECID")),
    ("S2F14", "Equipment Constant Data", E, False, ("L*", "ECV")),
    ("S2F15W", "New Equipment Constant Send", H, False, ("L*", ("L", ["ECID", "ECV"]))),
    ("S2F16", "New Equipment Constant Acknowledge", E, False, "EAC"),
    ("S2F17W", "Date and Time Request", BOTH, False, None),
    ("S2F18", "Date and Time Data", BOTH, False, "TIME"),
    ("S2F29W", "Equipment Constant Namelist Request", H, False, ("L*", "ECID")),
    ("S2F30", "Equipment Constant Namelist", E, False,
     ("L*", ("L", ["ECID", "ECNAME", "ECMIN", "ECMAX", "ECDEF", "UNITS"]))),
    ("S2F31W", "Date and Time Set Request", H, False, "TIME"),
    ("S2F32", "Date and Time Set Acknowledge", E, False, "TIACK"),
    ("S2F33W", "Define Report", H, False, ("L", ["DATAID", ("L*", ("L", ["RPTID", ("L*", "VID")]))])),
    ("S2F34", "Define Report Acknowledge", E, False, "DRACK"),
    ("S2F35W", "Link Event Report", H, False, ("L", ["DATAID", ("L*", ("L", ["CEID", ("L*", "RPTID")]))])),
    ("S2F36", "Link Event Report Acknowledge", E, False, "LRACK"),
    ("S2F37W", "Enable/Disable Event Report", H, False, ("L", ["CEED", ("L*", "CEID")])),
    ("S2F38", "Enable/Disable Event Report Acknowledge", E, False, "ERACK"),
    ("S2F41W", "Host Command Send", H, False, ("L", ["RCMD", ("L*", ("L", ["CPNAME", "CPVAL"]))])),
    ("S2F42", "Host Command Acknowledge", E, False, ("L", ["HCACK", ("L*", ("L", ["CPNAME", "CPACK"]))])),
    ("S5F1", "Alarm Report Send", E, True, ("L", ["ALCD", "ALID", "ALTX"])),
    ("S5F2", "Alarm Report Acknowledge", H, False, "ACKC5"),
    ("S5F3W", "Enable/Disable Alarm Send", H, False, ("L", ["ALED", "ALID"])),
    ("S5F4", "Enable/Disable Alarm Acknowledge", E, False, "ACKC5"),
    ("S5F5W", "List Alarms Request", H, False, ("ALID", "[n]")),
    ("S5F6", "List Alarm Data", E, False, ("L*", ("L", ["ALCD", "ALID", "ALTX"]))),
    ("S5F7W", "List Enabled Alarm Request", H, False, None),
    ("S5F8", "List Enabled Alarm Data", E, False, ("L*", ("L", ["ALCD", "ALID", "ALTX"]))),
    ("S6F1", "Trace Data Send", E, True, ("L", ["TRID", "SMPLN", "STIME", ("L*", "SV")])),
    ("S6F2", "Trace Data Acknowledge", H, False, "ACKC6"),
    ("S6F11W", "Event Report Send", E, True,
     ("L", ["DATAID", "CEID", ("L*", ("L", ["RPTID", ("L*", "V")]))])),
    ("S6F12", "Event Report Acknowledge", H, False, "ACKC6"),
    ("S6F15W", "Event Report Request", H, False, "CEID"),
    ("S6F16", "Event Report Data", E, False, ("L", ["DATAID", "CEID", ("L*", ("L", ["RPTID", ("L*", "V")]))])),
    ("S6F19W", "Individual Report Request", H, False, "RPTID"),
    ("S6F20", "Individual Report Data", E, False, ("L*", "V")),
    ("S7F1W", "Process Program Load Inquire", BOTH, False, ("L", ["PPID", "LENGTH"])),
    ("S7F2", "Process Program Load Grant", BOTH, False, "PPGNT"),
    ("S7F3W", "Process Program Send", BOTH, False, ("L", ["PPID", "PPBODY"])),
    ("S7F4", "Process Program Acknowledge", BOTH, False, "ACKC7"),
    ("S7F5W", "Process Program Request", BOTH, False, "PPID"),
    ("S7F6", "Process Program Data", BOTH, False, ("L", ["PPID", "PPBODY"])),
    ("S7F17W", "Delete Process Program Send", H, False, ("L*", "PPID")),
    ("S7F18", "Delete Process Program Acknowledge", E, False, "ACKC7"),
    ("S7F19W", "Current EPPD Request", H, False, None),
    ("S7F20", "Current EPPD Data", E, False, ("L*", "PPID")),
    ("S9F1", "Unrecognized Device ID", E, False, "MHEAD"),
    ("S9F3", "Unrecognized Stream Type", E, False, "MHEAD"),
    ("S9F5", "Unrecognized Function Type", E, False, "MHEAD"),
    ("S9F7", "Illegal Data", E, False, "MHEAD"),
    ("S9F9", "Transaction Timer Timeout", E, False, "SHEAD"),
    ("S9F11", "Data Too Long", E, False, "MHEAD"),
    ("S10F1", "Terminal Request", E, True, ("L", ["TID", "TEXT"])),
    ("S10F2", "Terminal Request Acknowledge", H, False, "ACKC10"),
    ("S10F3W", "Terminal Display, Single", H, False, ("L", ["TID", "TEXT"])),
    ("S10F4", "Terminal Display, Single Acknowledge", E, False, "ACKC10"),
]


def read_items(path):
    items = {}
    with open(path, encoding="utf-8") as table:
        for line in table:
            if line.startswith("#") or line.startswith("name\t") or not line.strip():
                continue
            name, formats, others, count, values = (line.rstrip("\n").split("\t") + [""] * 5)[:5]
            allowed = [c for c in formats.split() if c in CODES]
            allowed += [c for c in others.split() if c in CODES and c not in allowed]
            items[name] = (allowed, count.strip(), values.split())
    return items


# Items whose usual format is not the first choice below.
USUAL = {"PPBODY": "B", "TEXT": "A"}


def own_format(name, allowed):
    """The definition's own format: the one tools send most, U4 for an id."""
    if name in USUAL:
        return USUAL[name]
    if "L" in allowed or "F4" in allowed or ("BOOLEAN" in allowed and len(allowed) > 1):
        return "V"
    for preferred in ("U4", "A", "B", "BOOLEAN"):
        if preferred in allowed:
            return preferred
    return allowed[0] if allowed else "V"


def dictionary_line(name, allowed, count, values):
    clauses = ["formats " + " ".join(FILE_CODE.get(c, c) for c in allowed)] if allowed else []
    if count:
        # A text's count is its longest; a binary or number item's is exact.
        clauses.append("count " + (".." + count if "A" in allowed or "J" in allowed else count))
    if values:
        clauses.append("values " + " ".join(v.replace("-", "..") for v in values))
    return "//@ dictionary %s: %s" % (name, "; ".join(clauses)) if clauses else None


def write_item(item, items, depth, out):
    tabs = "\t" * depth
    if item is None:
        return
    if isinstance(item, str):
        item = (item, "")
    kind = item[0]
    if kind == "L":
        out.append("%s<L[%d]" % (tabs, len(item[1])))
        for sub in item[1]:
            write_item(sub, items, depth + 1, out)
        out.append(tabs + ">")
    elif kind == "L*":
        out.append(tabs + "<L[n]")
        write_item(item[1], items, depth + 1, out)
        out.append(tabs + ">")
    else:
        allowed, count, _ = items[kind]
        code = own_format(kind, allowed)
        open_count = item[1] == "[n]" or code in ("A", "J") or (code == "B" and count != "1")
        out.append("%s<%s%s  %s>" % (tabs, FILE_CODE.get(code, code), "[n]" if open_count else "", kind))


def main():
    items = read_items(sys.argv[1])
    out = ["/* TALVO SECS MESSAGE FORMAT FILE */"]
    used = set()

    def collect(item):
        if isinstance(item, str):
            used.add(item)
        elif isinstance(item, tuple) and item[0] == "L":
            for sub in item[1]:
                collect(sub)
        elif isinstance(item, tuple) and item[0] == "L*":
            collect(item[1])
        elif isinstance(item, tuple):
            used.add(item[0])

    for message in MESSAGES:
        collect(message[4])
    for name in sorted(used):
        line = dictionary_line(name, *items[name])
        if line:
            out.append(line)
    for label, description, direction, reply_optional, item in MESSAGES:
        out.append("")
        out.append("%s (%s)%s" % (label, description, "." if item is None else ""))
        rules = (["reply optional"] if reply_optional else []) + ["direction " + direction]
        out.append("//@ " + "; ".join(rules))
        body = []
        write_item(item, items, 0, body)
        if body:
            body[-1] += "."
            out.extend(body)
    sys.stdout.write("\r\n".join(out) + "\r\n")


if __name__ == "__main__":
    main()
