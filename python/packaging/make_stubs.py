"""Writes config_vpc_migration.pyi: the record classes as type checkers and editors see them, made
at build time from the same table data (_core._tables()) that makes the classes at import.

usage: make_stubs.py TEMPLATE OUTPUT   (with the built package importable)
"""

import sys

from tarnwick_config import _core

_SCALARS = {"str": "str", "bool": "bool", "address": "IPv4Address", "network": "IPv4Network"}


def annotation(shape, aliases):
    """The type of a field's value, as its attribute holds it."""
    kind = shape[0]
    if kind in _SCALARS:
        return _SCALARS[kind]
    if kind == "constr":
        return "str"  # a constrained string is a str to its readers
    if kind == "choice":
        alias, choices = shape[1], shape[2]
        literal = "Literal[" + ", ".join(repr(c) for c in choices) + "]"
        if alias:
            aliases[alias] = literal
            return alias
        return literal
    if kind == "record":
        return shape[1]
    if kind == "optional":
        return f"Optional[{annotation(shape[1], aliases)}]"
    if kind == "or_empty":
        # The record when given; an absent section holds an empty dict, as it dumps.
        return f"Union[{annotation(shape[1], aliases)}, Dict[str, Any]]"
    if kind == "list":
        return f"List[{annotation(shape[1], aliases)}]"
    if kind == "map":
        return f"Dict[{annotation(shape[1], aliases)}, {annotation(shape[2], aliases)}]"
    raise SystemExit(f"make_stubs.py: unknown field shape {shape!r}")


def record_stub(table, nested, aliases, indent=""):
    name = table["name"].rpartition(".")[2]
    lines = [f"{indent}class {name}({table['base']}):"]
    if table["description"]:
        lines.append(f"{indent}    {table['description']!r}")
    for child in nested.get(table["name"], []):
        lines += record_stub(child, nested, aliases, indent + "    ")
    params = []
    stored = stored_types(table)
    for row in table["fields"]:
        declared = stored.get(row["key"]) or annotation(row["shape"], aliases)
        lines.append(f"{indent}    {row['key']}: {declared}")
        params.append(f"{row['key']}: Any" + ("" if row["required"] else " = ..."))
    # Keyword values are converted as a load converts them (text for a network, a mapping for a
    # record), so the constructor takes any value under a declared name.
    signature = ", ".join(["self", "*"] + params) if params else "self"
    lines.append(f"{indent}    def __init__({signature}) -> None: ...")
    checks = dict.fromkeys(name for row in table["fields"] for name in row["checks"])
    for name in checks:
        lines += [f"{indent}    @classmethod",
                  f"{indent}    def {name}(cls, val: Any, values: Optional[Dict[str, Any]] = ..., "
                  "field: Any = ...) -> Any: ..."]
    for name in table["record_checks"]:
        lines += [f"{indent}    @classmethod",
                  f"{indent}    def {name}(cls, values: Dict[str, Any]) -> Dict[str, Any]: ..."]
    lines += [indent + "    " + extra for extra in EXTRAS.get(table["name"], [])]
    return lines


# Fields that a validated record holds as another type than their row's shape: the tables export
# what a field takes, and a check may rewrite it or refuse a record whose value is absent.
STORED = {
    "TfCloudConfig": {
        "organization": "str",  # check_required_attributes refuses a record without it
        "tags": "Optional[str]",  # check_and_rewrite_tags keeps the list as its JSON text
    },
}


def stored_types(table):
    stored = STORED.get(table["name"], {})
    unknown = set(stored) - {row["key"] for row in table["fields"]}
    if unknown:
        raise SystemExit(f"make_stubs.py: {table['name']} has no field {sorted(unknown)}")
    return stored


# Class-level values that are not checks of a table row.
EXTRAS = {
    "DiscoveryConfiguration": [
        "@staticmethod",
        "def isExpectedVpcPrefix(ip: Any, prefixes: Iterable[Any]) -> bool: ..."],
    "TfCloudConfig": ["@staticmethod", "def valid_str_attribute(val: Any) -> bool: ..."],
    "TerraformConfig": ["DEFAULT_MODULE_SOURCE: ClassVar[str]", "DEFAULT_MODULE_NAME: ClassVar[str]"],
}


def main():
    template, output = sys.argv[1], sys.argv[2]
    tables = _core._tables()
    nested = {}
    for table in tables:
        outer = table["name"].rpartition(".")[0]
        if outer:
            nested.setdefault(outer, []).append(table)
    aliases = {}
    records = []
    for table in tables:
        if "." not in table["name"]:
            records += record_stub(table, nested, aliases) + [""]
    alias_lines = [f"{name} = {literal}" for name, literal in sorted(aliases.items())]
    with open(template, encoding="utf-8") as f:
        text = f.read()
    text = text.replace("@ALIASES@", "\n".join(alias_lines)).replace(
        "@RECORDS@", "\n".join(records).rstrip() + "\n")
    with open(output, "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main()
