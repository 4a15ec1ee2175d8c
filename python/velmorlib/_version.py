"""The package's version: CMake's project version, which the build checks this against."""

__version__ = "0.2.0"
