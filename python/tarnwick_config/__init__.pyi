# The package's own name: its version. The modules are typed in their own stubs.
__version__: str
