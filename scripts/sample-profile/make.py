#!/usr/bin/python3
"""Creates a sample Windows user profile with evil and harmless browser data.

usage: make.py PROFILE_DIR

Each module beside this one (ie.py, ...) writes one browser's files."""
import importlib.util
import pathlib
import sys

here = pathlib.Path(__file__).resolve().parent
profile = sys.argv[1]
for module_path in sorted(here.glob("*.py")):
    if module_path.name == "make.py":
        continue
    module_spec = importlib.util.spec_from_file_location(module_path.stem, module_path)
    module = importlib.util.module_from_spec(module_spec)
    module_spec.loader.exec_module(module)
    module.make(profile)
