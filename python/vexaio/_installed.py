"""Where an installed copy of this package finds the library: a path relative
to the package's folder. None in the source tree; the installation writes
its own."""
LIBRARY = None
