"""Loads and conversions in many threads at once, with the interpreter switching threads as often
as it can: every thread gets its own whole, correct result."""

import gc
import sys
import threading

import pytest

from tarnwick_config import config_vpc_migration as cvm


@pytest.fixture
def busy_switching():
    before = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    yield
    sys.setswitchinterval(before)


@pytest.mark.parametrize("load", ["yaml", "dict", "record"])
def test_eight_threads_load_at_once(examples, busy_switching, load):
    yaml = pytest.importorskip("yaml")
    path = str(examples / "full.yaml")
    expected = cvm.dump_to_dict(cvm.load_from_yaml(path))
    with open(path) as f:
        document = yaml.safe_load(f)
    vpc = expected["account_info"][0]["regions"][0]["vpcs"][0]
    results, failures = [], []

    def work():
        try:
            for _ in range(40):
                if load == "yaml":
                    config = cvm.load_from_yaml(path)
                elif load == "dict":
                    config = cvm.load_from_dict(document)
                else:
                    config = cvm.VPCConfig(**vpc)
                results.append(config)
        except BaseException as error:  # noqa: B902 - a thread's failure fails the test
            failures.append(error)

    threads = [threading.Thread(target=work) for _ in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert failures == []
    assert len(results) == 8 * 40
    if load != "record":
        assert all(cvm.dump_to_dict(r) == expected for r in results)
    else:
        assert all(r == cvm.VPCConfig(**vpc) for r in results)


# A loaded record makes its __fields_set__ when first read: threads reading it at once all get
# the one set, and what each adds to it stays.
@pytest.mark.parametrize("first", ["read", "add", "assign"])
def test_threads_share_one_fields_set(examples, busy_switching, first):
    configs = [cvm.load_from_yaml(examples / "full.yaml") for _ in range(20)]
    records = [vpc for c in configs for a in c.account_info for r in a.regions for vpc in r.vpcs]
    seen, failures = [], []
    start = threading.Barrier(8)

    def work(n):
        try:
            start.wait()
            for record in records:
                if first == "read":
                    seen.append(id(record.__fields_set__))
                elif first == "add":
                    record.__fields_set__.add(f"key{n}")
                else:
                    record.domain = record.domain  # assignment adds its key
        except BaseException as error:  # noqa: B902 - a thread's failure fails the test
            failures.append(error)

    threads = [threading.Thread(target=work, args=(n,)) for n in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert failures == []
    for record in records:
        if first == "read":
            assert seen.count(id(record.__fields_set__)) == 8
        elif first == "add":
            assert {f"key{n}" for n in range(8)} <= record.__fields_set__
        else:
            assert "domain" in record.__fields_set__ and "vpc_id" in record.__fields_set__


# A collection while the set is made may run code that reads the same record's __fields_set__
# first: the set that code made and changed is the one kept.
@pytest.mark.parametrize("change", ["add", "assign"])
def test_a_collection_while_the_set_is_made_keeps_the_first(examples, change):
    record = cvm.load_from_yaml(examples / "full.yaml").account_info[0]
    ran = []

    def meanwhile(phase, info):
        if phase == "start" and not ran:
            ran.append(True)
            if change == "add":
                record.__fields_set__.add("meanwhile")
            else:
                record.spoke_ha = True

    before = gc.get_threshold()
    gc.callbacks.append(meanwhile)
    gc.set_threshold(1)
    try:
        fields_set = record.__fields_set__
    finally:
        gc.set_threshold(*before)
        gc.callbacks.remove(meanwhile)
    assert ran and fields_set is record.__fields_set__
    assert ("meanwhile" if change == "add" else "spoke_ha") in fields_set
