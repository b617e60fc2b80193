"""The one place where ostrel's version is written."""

__version__ = "0.2.3"
