"""tarnwick_config: the compiled configuration layer of tarnwick, as a package of its own.

The module the host knows as tarnwick.core.config_vpc_migration is config_vpc_migration here; the
drop-in module installed under share/tarnwick-config/python makes the host's name refer to it.
"""

from ._core import __version__  # the project's version (CMake's), which the wheel carries too
