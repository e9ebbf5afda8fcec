import importlib.util
import os
import pathlib
import subprocess

import pytest

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"
PACKAGING = pathlib.Path(__file__).resolve().parents[1] / "packaging"


def packaging_module(name):
    """A fresh copy of one of python/packaging's scripts, imported from its file."""
    found = importlib.util.spec_from_file_location(name, PACKAGING / (name + ".py"))
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


@pytest.fixture
def examples():
    return EXAMPLES


@pytest.fixture
def cli():
    """Runs the built tarnwick-config tool; skips when the build did not say where it is."""
    binary = os.environ.get("TARNWICK_CONFIG_BIN")
    if not binary or not os.access(binary, os.X_OK):
        pytest.skip("TARNWICK_CONFIG_BIN does not name the built tarnwick-config")

    def run(*args):
        return subprocess.run([binary, *map(str, args)], capture_output=True, text=True)

    return run


@pytest.fixture
def minimal_dict():
    """The least a migration-mode document needs, as a Python dict."""
    return {
        "terraform": {
            "terraform_output": "/tmp/out",
            "terraform_version": ">= 1.5.0",
            "corvane_provider": "~> 3.1.0",
            "aws_provider": "~> 5.31.0",
        },
        "corvane": {"controller_ip": "10.10.0.20", "controller_account": "210000000001"},
        "account_info": [
            {
                "account_id": "310000000001",
                "regions": [{"region": "us-east-1", "vpcs": [{"vpc_id": "vpc-1"}]}],
            }
        ],
    }
