#!/usr/bin/env python3
"""Checks the Group Policy templates against the names the program reads.

    check_policy_templates.py <policy_names.h> <tovalen.admx> <tovalen.adml>

Both files must be well-formed XML of the policy-definition schema 1.0; the ADMX must offer
exactly the program's four values, each as a text element of a machine policy under the
program's policy key in the "Tovalen" category, and every string and presentation it refers to
must be in the ADML, and each policy's text must state its order of precedence against the
installer's value. The key and value names are taken from the program's generated header, the
one place the program takes them from, so the templates cannot drift from what is read.
Exits non-zero with one line per fault.
"""

import re
import sys
import xml.etree.ElementTree as ElementTree

NS = "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"
VALUE_CONSTANTS = ("POLICY_HELPDESK_SERVER", "POLICY_PRINT_SERVER", "POLICY_SUPPORT_MAILBOX", "POLICY_TICKET_FORM_URL")
REFERENCE = re.compile(r"^\$\((string|presentation)\.([^)]+)\)$")


def tag(name):
    return "{%s}%s" % (NS, name)


def program_names(header_path):
    """The constants of the generated header: name -> the text of its wide string literal."""
    with open(header_path, encoding="utf-8") as header:
        text = header.read()
    names = {}
    for name, literal in re.findall(r'wchar_t\s+(\w+)\[\]\s*=\s*L"((?:[^"\\]|\\.)*)"', text):
        names[name] = re.sub(r"\\(.)", r"\1", literal)
    return names


def check_root(root, expected, faults, which):
    if root.tag != tag(expected):
        faults.append("%s: root element is %s, not %s in the policy-definition namespace" % (which, root.tag, expected))
    if root.get("schemaVersion") != "1.0":
        faults.append("%s: schemaVersion is %r, not 1.0" % (which, root.get("schemaVersion")))
    if not root.get("revision"):
        faults.append("%s: no revision" % which)


def references(admx_root):
    """Every $(string.X) and $(presentation.X) in the ADMX's attributes, as (kind, id)."""
    found = []
    for element in admx_root.iter():
        for value in element.attrib.values():
            match = REFERENCE.match(value)
            if match:
                found.append((match.group(1), match.group(2)))
            elif "$(" in value:
                found.append(("malformed", value))
    return found


def check_policies(admx, key, value_names, faults):
    target = admx.find("%s/%s" % (tag("policyNamespaces"), tag("target")))
    if target is None or not target.get("namespace") or not target.get("prefix"):
        faults.append("admx: no target namespace with a prefix")
    categories = {c.get("name"): c for c in admx.iter(tag("category"))}
    if "Tovalen" not in categories:
        faults.append("admx: no category named Tovalen")

    offered = []
    for policy in admx.iter(tag("policy")):
        name = policy.get("name")
        if policy.get("class") != "Machine":
            faults.append("admx: policy %s is of class %r, not Machine" % (name, policy.get("class")))
        parent = policy.find(tag("parentCategory"))
        if parent is None or parent.get("ref") != "Tovalen":
            faults.append("admx: policy %s is not in the Tovalen category" % name)
        elements = policy.find(tag("elements"))
        children = list(elements) if elements is not None else []
        if len(children) != 1 or children[0].tag != tag("text"):
            faults.append("admx: policy %s does not hold exactly one text element" % name)
            continue
        text = children[0]
        if text.get("expandable", "false") != "false":
            faults.append("admx: policy %s writes an expandable string, not REG_SZ" % name)
        if text.get("key", policy.get("key")) != key:
            faults.append("admx: policy %s writes under %r, not %r" % (name, text.get("key", policy.get("key")), key))
        if policy.get("valueName") is not None:
            faults.append("admx: policy %s writes a value of its own (%s)" % (name, policy.get("valueName")))
        offered.append(text.get("valueName"))

    if sorted(offered) != sorted(value_names):
        faults.append("admx: offers the values %s, the program reads %s" % (sorted(offered), sorted(value_names)))
    for element in admx.iter():
        if element.get("key") not in (None, key):
            faults.append("admx: %s names the key %r" % (element.tag, element.get("key")))


def check_resolution(admx, adml, faults):
    strings = {s.get("id") for s in adml.iter(tag("string"))}
    presentations = {p.get("id"): p for p in adml.iter(tag("presentation"))}
    for kind, ident in references(admx):
        if kind == "malformed":
            faults.append("admx: malformed reference %r" % ident)
        elif kind == "string" and ident not in strings:
            faults.append("admx: string %s is not in the adml" % ident)
        elif kind == "presentation" and ident not in presentations:
            faults.append("admx: presentation %s is not in the adml" % ident)
    for string in adml.iter(tag("string")):
        if not (string.text or "").strip():
            faults.append("adml: string %s is empty" % string.get("id"))

    # Each presentation shows the policy's own text element.
    for policy in admx.iter(tag("policy")):
        match = REFERENCE.match(policy.get("presentation") or "")
        if not match or match.group(2) not in presentations:
            faults.append("admx: policy %s has no presentation in the adml" % policy.get("name"))
            continue
        element_ids = {e.get("id") for e in policy.iter() if e.get("id")}
        shown = [c.get("refId") for c in presentations[match.group(2)]]
        if not shown or any(ref not in element_ids for ref in shown):
            faults.append("adml: presentation %s shows %s, not the elements %s of policy %s"
                          % (match.group(2), shown, sorted(element_ids), policy.get("name")))

    # Each policy's text states where it stands against the value given to the installer, and the
    # two that make the ticket form state one and the same order.
    explain = {s.get("id"): s.text or "" for s in adml.iter(tag("string"))}
    orders = {}
    for policy in admx.iter(tag("policy")):
        match = REFERENCE.match(policy.get("explainText") or "")
        text = explain.get(match.group(2), "") if match else ""
        orders[policy.get("name")] = next((p for p in text.split("\n\n") if p.startswith("Order of precedence")), "")
        if "given to the installer" not in orders[policy.get("name")]:
            faults.append("adml: policy %s states no order of precedence against the installer's value" % policy.get("name"))
    if orders.get("HelpdeskServer") != orders.get("TicketFormUrl"):
        faults.append("adml: HelpdeskServer and TicketFormUrl state different orders for the ticket form")

    category = next((c for c in admx.iter(tag("category")) if c.get("name") == "Tovalen"), None)
    if category is not None:
        shown_name = next((s.text for s in adml.iter(tag("string"))
                           if "$(string.%s)" % s.get("id") == category.get("displayName")), None)
        if shown_name != "Tovalen":
            faults.append("adml: the category is shown as %r, not Tovalen" % shown_name)


def main(argv):
    if len(argv) != 4:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    names = program_names(argv[1])
    faults = []
    missing = [c for c in ("POLICY_KEY",) + VALUE_CONSTANTS if c not in names]
    if missing:
        print("header: no %s in %s" % (", ".join(missing), argv[1]))
        return 1
    try:
        admx = ElementTree.parse(argv[2]).getroot()
        adml = ElementTree.parse(argv[3]).getroot()
    except ElementTree.ParseError as error:
        print("not well-formed XML: %s" % error)
        return 1
    check_root(admx, "policyDefinitions", faults, "admx")
    check_root(adml, "policyDefinitionResources", faults, "adml")
    check_policies(admx, names["POLICY_KEY"], [names[c] for c in VALUE_CONSTANTS], faults)
    check_resolution(admx, adml, faults)
    for fault in faults:
        print(fault)
    if not faults:
        print("policy templates: key %s, values %s" % (names["POLICY_KEY"], ", ".join(names[c] for c in VALUE_CONSTANTS)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
