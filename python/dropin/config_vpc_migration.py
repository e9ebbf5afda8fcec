"""Configuration options for discovery migration.

Placed in the host's tarnwick/core/ in place of the pure-Python module: importing
tarnwick.core.config_vpc_migration then gives the compiled module of the tarnwick_config package,
private names included, as the one module object under both names.
"""

import sys

# What type checkers and editors read: they do not follow the sys.modules swap below.
from tarnwick_config.config_vpc_migration import *  # noqa: F401,F403
from tarnwick_config.config_vpc_migration import (  # noqa: F401
    GWName, _BaseModel, _default_network, _str)
import tarnwick_config.config_vpc_migration as _module

sys.modules[__name__] = _module
