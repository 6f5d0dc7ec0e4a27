#!/usr/bin/python3
"""Creates a sample Windows user profile with evil and harmless browser data.

usage: make.py PROFILE_DIR

Each module beside this one (ie.py, ...) writes one browser's files."""
import importlib.machinery
import pathlib
import sys
import types

here = pathlib.Path(__file__).resolve().parent
profile = sys.argv[1]
for module_path in sorted(here.glob("*.py")):
    if module_path.name == "make.py":
        continue
    module = types.ModuleType(module_path.stem)
    module.__file__ = str(module_path)
    importlib.machinery.SourceFileLoader(module_path.stem, str(module_path)).exec_module(module)
    module.make(profile)
