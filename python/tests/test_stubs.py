"""The type stubs describe what the extension module really has."""

import ast
import os

import ddtable
from ddtable import _core

STUBS = os.path.join(os.path.dirname(ddtable.__file__), "_core.pyi")


def stub_classes():
    tree = ast.parse(open(STUBS).read())
    return {node.name: {item.name for item in node.body
                        if isinstance(item, (ast.FunctionDef, ast.AsyncFunctionDef))}
            for node in tree.body if isinstance(node, ast.ClassDef)}


def test_every_public_member_has_a_stub_and_every_stub_a_member():
    stubs = stub_classes()
    public = {name for name in dir(_core) if not name.startswith("_")}
    assert set(stubs) == public
    for name, members in stubs.items():
        real = {m for m in dir(getattr(_core, name))
                if not m.startswith("_") or m in ("__getitem__", "__iter__", "__len__",
                                                  "__contains__", "__enter__", "__exit__",
                                                  "__init__")}
        real -= {"__init__"} if "__init__" not in members else set()
        assert members == real, name


def test_docstrings_everywhere():
    for name in dir(_core):
        cls = getattr(_core, name)
        if name.startswith("_") or not isinstance(cls, type):
            continue
        assert cls.__doc__, name
    for fn in (ddtable.open, ddtable.new, ddtable.Workbook.run, ddtable.Run.iterations,
               ddtable.Iteration.output, ddtable.Sheet.blocks):
        assert fn.__doc__, fn
