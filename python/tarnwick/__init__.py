"""tarnwick: discovery and migration of AWS spoke VPCs."""
