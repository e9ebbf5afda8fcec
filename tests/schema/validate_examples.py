"""The exported JSON Schema against real documents, with a second validator.

Usage: validate_examples.py TOOL EXAMPLES_DIR [CONFORMANCE_DIR]

Every example except invalid.yaml must be valid; invalid.yaml and a set of faulty variants of
full.yaml must be refused. Where the schema can judge a fault, the loader (`TOOL check`) must
judge it the same way, so the schema stays truthful to what the loader accepts. Every document
the checker accepts (the examples, and the conformance cases expected to pass) must be valid as
an editor reads it, in YAML 1.1 and in YAML 1.2.
"""

import copy
import json
import pathlib
import re
import subprocess
import sys
import tempfile
import unittest

try:
    import jsonschema
    import yaml
except ImportError as e:  # Debian: python3-jsonschema, python3-yaml (scripts/deps installs them)
    sys.exit(f"validate_examples.py: {e}; run scripts/deps")

TOOL = ""
EXAMPLES = pathlib.Path()
CONFORMANCE = None


class Yaml12Loader(yaml.SafeLoader):
    """YAML 1.2 as editors set to it read plain scalars: only true/false are booleans, no dates."""


Yaml12Loader.yaml_implicit_resolvers = {
    first: [(tag, rx) for tag, rx in resolvers if not tag.endswith((":bool", ":timestamp"))]
    for first, resolvers in yaml.SafeLoader.yaml_implicit_resolvers.items()
}
Yaml12Loader.add_implicit_resolver(
    "tag:yaml.org,2002:bool", re.compile(r"^(?:true|True|TRUE|false|False|FALSE)$"), list("tTfF")
)


def format_checker():
    # Validator classes carry their checker from jsonschema 4.5 on; older ones have the global.
    checker = getattr(jsonschema.Draft7Validator, "FORMAT_CHECKER", None)
    return checker if checker is not None else jsonschema.draft7_format_checker


def load_yaml(path, loader=yaml.SafeLoader):
    with open(path, encoding="utf-8") as f:
        return yaml.load(f, Loader=loader)


def accepted_documents():
    """(name, path, check arguments or None for either mode) of every document to accept."""
    docs = [(p.name, p, None) for p in sorted(EXAMPLES.glob("*.yaml")) if p.name != "invalid.yaml"]
    if CONFORMANCE is not None:
        for case in json.loads((CONFORMANCE / "index.json").read_text(encoding="utf-8")):
            expected = json.loads((CONFORMANCE / "expected" / f"{case['name']}.json").read_text())
            if expected["check"]["exit"] == 0:
                args = ["--discovery-only"] if case["discovery_only"] else []
                docs.append((case["name"], CONFORMANCE / case["file"], args))
    return docs


class SchemaTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        out = subprocess.run([TOOL, "schema"], check=True, capture_output=True, text=True)
        cls.schema = json.loads(out.stdout)
        cls.validator = jsonschema.Draft7Validator(cls.schema, format_checker=format_checker())
        cls.full = load_yaml(EXAMPLES / "full.yaml")

    def errors(self, document):
        return list(self.validator.iter_errors(document))

    def error_paths(self, document):
        """The paths of every error, with those inside anyOf/allOf branches (optional records)."""
        paths = []
        pending = self.errors(document)
        while pending:
            e = pending.pop()
            paths.append(list(e.absolute_path))
            pending.extend(e.context or [])
        return paths

    def assert_valid(self, document):
        errors = self.errors(document)
        self.assertEqual([], [f"{list(e.absolute_path)}: {e.message}" for e in errors])

    def assert_refused(self, document, path):
        """Refused, with one error at `path` (a list of keys and indices) or within it."""
        self.assertTrue(self.errors(document), "the schema accepted the document")
        paths = self.error_paths(document)
        self.assertTrue(any(p[: len(path)] == path for p in paths), f"errors at {paths}")

    def check_status(self, path, args):
        r = subprocess.run([TOOL, "check", *args, str(path)], capture_output=True, text=True)
        return r.returncode

    def loader_accepts(self, document):
        with tempfile.NamedTemporaryFile("w", suffix=".yaml", delete=False) as f:
            json.dump(document, f)  # JSON is YAML
            name = f.name
        try:
            r = subprocess.run([TOOL, "check", name], capture_output=True, text=True)
        finally:
            pathlib.Path(name).unlink()
        self.assertIn(r.returncode, (0, 1), r.stderr)
        return r.returncode == 0

    def variant(self, change):
        document = copy.deepcopy(self.full)
        change(document)
        return document

    def test_schema_is_a_valid_draft07_schema(self):
        jsonschema.Draft7Validator.check_schema(self.schema)
        self.assertEqual(self.schema["$schema"], "http://json-schema.org/draft-07/schema#")

    def test_examples_are_valid(self):
        examples = sorted(p for p in EXAMPLES.glob("*.yaml") if p.name != "invalid.yaml")
        self.assertGreaterEqual(len(examples), 2)
        for path in examples:
            with self.subTest(example=path.name):
                self.assert_valid(load_yaml(path))

    def test_every_accepted_document_is_valid_in_both_yaml_versions(self):
        docs = accepted_documents()
        self.assertGreaterEqual(len(docs), 2 if CONFORMANCE is None else 50)
        for name, path, args in docs:
            modes = [args] if args is not None else [[], ["--discovery-only"]]
            statuses = [self.check_status(path, mode) for mode in modes]
            self.assertIn(0, statuses, f"{name}: the checker refuses it")
            for loader in (yaml.SafeLoader, Yaml12Loader):
                with self.subTest(document=name, loader=loader.__name__):
                    self.assert_valid(load_yaml(path, loader))

    def test_invalid_example_is_refused_where_the_loader_refuses_it(self):
        document = load_yaml(EXAMPLES / "invalid.yaml")
        paths = {tuple(p) for p in self.error_paths(document)}
        vpc = ("account_info", 0, "regions", 0, "vpcs", 0)
        for expected in [
            ("terraform", "enable_s3_backend"),
            ("corvane", "controller_ip"),
            ("account_info", 0, "account_id"),
            ("account_info", 0, "regions", 0, "region"),
            vpc,  # the undeclared key `colour`
            ("cleanup", "resources", 2),
        ]:
            self.assertIn(expected, paths)

    def test_default_of_every_property_is_valid_for_it(self):
        resolver = jsonschema.RefResolver.from_schema(self.schema)
        count = 0
        records = [self.schema] + list(self.schema["definitions"].values())
        for record in records:
            for key, prop in record["properties"].items():
                if "default" not in prop:
                    continue
                count += 1
                with self.subTest(record=record.get("title"), key=key):
                    v = jsonschema.Draft7Validator(
                        prop, resolver=resolver, format_checker=format_checker()
                    )
                    self.assertEqual([], [e.message for e in v.iter_errors(prop["default"])])
        self.assertGreater(count, 50)

    def test_undeclared_keys_are_refused(self):
        for path, change in [
            ([], lambda d: d.update(colour="blue")),
            (["terraform"], lambda d: d["terraform"].update(output="x")),
            (
                ["account_info", 0, "regions", 0, "vpcs", 0],
                lambda d: d["account_info"][0]["regions"][0]["vpcs"][0].update(vpcid="v"),
            ),
            (["aws", "s3"], lambda d: d["aws"]["s3"].update(bucket="b")),
            (["config", "snat_policies", 0], lambda d: d["config"]["snat_policies"][0].update(p=1)),
        ]:
            with self.subTest(path=path):
                document = self.variant(change)
                self.assert_refused(document, path)
                self.assertFalse(self.loader_accepts(document))

    def test_wrong_region_names_are_refused(self):
        for path, change in [
            (
                ["account_info", 0, "regions", 1, "region"],
                lambda d: d["account_info"][0]["regions"][1].update(region="EU-WEST-1"),
            ),
            (
                ["account_info", 1, "regions", 0, "region"],
                lambda d: d["account_info"][1]["regions"][0].update(region="us-west-9"),
            ),
            (["tgw", "tgw_by_region"], lambda d: d["tgw"]["tgw_by_region"].update({"mars-1": "t"})),
        ]:
            with self.subTest(path=path):
                document = self.variant(change)
                self.assert_refused(document, path)
                self.assertFalse(self.loader_accepts(document))

    def test_shape_faults_are_refused_by_both(self):
        vpc = ["account_info", 0, "regions", 0, "vpcs", 0]

        def at_vpc(key, value):
            return lambda d: d["account_info"][0]["regions"][0]["vpcs"][0].update({key: value})

        cases = [
            (["account_info", 0, "account_id"], lambda d: d["account_info"][0].update(account_id="31x")),
            (["account_info", 0, "account_id"], lambda d: d["account_info"][0].update(account_id=-5)),
            (vpc + ["spoke_gw_name"], at_vpc("spoke_gw_name", "g" * 51)),
            (vpc + ["crvn_cidr"], at_vpc("crvn_cidr", "10.220.1.0/33")),
            (vpc + ["crvn_cidr"], at_vpc("crvn_cidr", "10.220.1")),
            (vpc + ["eips", 0], at_vpc("eips", ["54.20.1.300"])),
            (vpc + ["encrypt"], at_vpc("encrypt", "perhaps")),
            (vpc + ["encrypt"], at_vpc("encrypt", 2)),
            (vpc + ["encrypt"], at_vpc("encrypt", "yess")),
            (vpc + ["spoke_gw_name"], at_vpc("spoke_gw_name", " " + "g" * 25 + " " + "g" * 25)),
            (["account_info", 0, "account_id"], lambda d: d["account_info"][0].update(account_id="3 1")),
            (vpc + ["gw_zones"], at_vpc("gw_zones", "a")),
            (vpc + ["vpc_id"], at_vpc("vpc_id", None)),
            (["corvane", "tf_controller_access", "mode"],
             lambda d: d["corvane"]["tf_controller_access"].update(mode="env")),
            (["cleanup", "resources", 0], lambda d: d["cleanup"].update(resources=["nat"])),
            (["terraform"], lambda d: d["terraform"].pop("terraform_output")),
            (["aws", "s3"], lambda d: d["aws"]["s3"].pop("name")),
            (["terraform", "tf_cloud", "tags"], lambda d: d["terraform"]["tf_cloud"].update(tags="a")),
            (["alert", "expect_dest_cidrs"], lambda d: d["alert"].update(expect_dest_cidrs=None)),
        ]
        for path, change in cases:
            with self.subTest(path=path):
                document = self.variant(change)
                self.assert_refused(document, path)
                self.assertFalse(self.loader_accepts(document))

    def test_what_the_loader_accepts_the_schema_accepts(self):
        vpc = lambda d: d["account_info"][0]["regions"][0]["vpcs"][0]  # noqa: E731
        cases = [
            lambda d: d["account_info"][0].update(account_id=310000000001),  # unquoted number
            lambda d: d["switch_traffic"].update(delete_tgw_route_delay=10),
            lambda d: d["aws"]["s3"].update(account=210000000009),
            lambda d: vpc(d).update(spoke_gw_name="g" * 50, domain=None, spoke_ha=None),
            lambda d: vpc(d).update(crvn_cidr="10.220.1.0/255.255.255.0"),
            lambda d: vpc(d).update(crvn_cidr="10.220.1.0/024"),
            lambda d: vpc(d).update(spoke_gw_tags=[{"Name": "n", "cost": 5}]),
            lambda d: d["account_info"][0].update(account_name=None),
            lambda d: d.update(aws=None),
            lambda d: d.pop("tgw"),
            lambda d: d["tgw"].update(tgw_by_region={}),
            lambda d: d["config"].update(snat_policies=None),
            # Trimmed texts may carry padding; booleans come as words and 0/1 too.
            lambda d: vpc(d).update(spoke_gw_name=" \t" + "g" * 50 + "\u3000 "),
            lambda d: d["account_info"][0].update(account_id=" 310000000001\n"),
            lambda d: vpc(d).update(inspection="yes", az_affinity="Y", spoke_ha=1),
            lambda d: vpc(d).update(inspection="On", az_affinity="true", spoke_ha="1"),
            lambda d: vpc(d).update(inspection="f", az_affinity="NO", spoke_ha="TRUE"),
        ]
        for i, change in enumerate(cases):
            with self.subTest(case=i):
                document = self.variant(change)
                self.assert_valid(document)
                self.assertTrue(self.loader_accepts(document))


def main():
    global TOOL, EXAMPLES, CONFORMANCE
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    TOOL, EXAMPLES = sys.argv[1], pathlib.Path(sys.argv[2])
    if len(sys.argv) == 4 and pathlib.Path(sys.argv[3], "index.json").is_file():
        CONFORMANCE = pathlib.Path(sys.argv[3])  # the shared cases, when beside this checkout
    result = unittest.main(argv=sys.argv[:1], exit=False, verbosity=2).result
    sys.exit(0 if result.wasSuccessful() and result.testsRun > 0 else 1)


if __name__ == "__main__":
    main()
