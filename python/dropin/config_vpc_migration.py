"""Configuration options for discovery migration.

Placed in the host's tarnwick/core/ in place of the pure-Python module: importing
tarnwick.core.config_vpc_migration then gives the compiled module of the tarnwick_config package,
private names included, as the one module object under both names.
"""

import sys

# What type checkers and editors read: they do not follow the sys.modules swap below. The private
# names are imported "as" themselves, which is how a checker that refuses implicit re-exports
# (mypy --strict) learns that a host may import them from here.
from tarnwick_config.config_vpc_migration import *  # noqa: F401,F403
from tarnwick_config.config_vpc_migration import (  # noqa: F401
    GWName as GWName, _BaseModel as _BaseModel, _default_network as _default_network,
    _str as _str)
import tarnwick_config.config_vpc_migration as _module

sys.modules[__name__] = _module
