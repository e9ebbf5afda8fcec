"""tarnwick.core: the configuration layer (config_vpc_migration)."""
