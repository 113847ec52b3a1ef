#!/usr/bin/python3
"""The layer check over small trees: what it lets through and what it names."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import layers_check  # noqa: E402

TABLE = """\
layer low:
layer mid: low
layer high: low mid other/one.h
layer other:
top main.cpp
bridge low/bridge.cpp: high/h.h
"""

BASE = {
    "low/l.h": "",
    "low/l.cpp": '#include "low/l.h"\n#include "l.h"\n#include <cstdio>\n',
    "low/bridge.cpp": '#include "high/h.h"\n',
    "mid/m.h": '#include "low/l.h"\n',
    "high/h.h": '#include "mid/m.h"\n#include "other/one.h"\n',
    "other/one.h": "",
    "other/two.h": "",
    "main.cpp": '#include "high/h.h"\n#include "other/two.h"\n',
}


def run(files, table=TABLE):
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "src")
        for name, text in {**BASE, **files}.items():
            path = os.path.join(src, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(text)
        with open(os.path.join(src, "layers.txt"), "w") as f:
            f.write(table)
        return layers_check.check(src, os.path.join(src, "layers.txt"))


class LayersCheck(unittest.TestCase):
    def test_a_tree_that_keeps_to_its_table_passes(self):
        self.assertEqual(run({}), [])
        # a layer may be planned before its directory exists
        self.assertEqual(run({}, TABLE + "layer planned: low mid\n"), [])

    def test_includes_against_the_table_are_named_by_file_and_line(self):
        cases = [
            # (file, text, the report's start)
            ("low/x.cpp", '#include <cstdio>\n\n#include "mid/m.h"\n', "src/low/x.cpp:3: low may not include mid/m.h"),
            ("mid/x.cpp", '#include "high/h.h"\n', "src/mid/x.cpp:1: mid may not include high/h.h"),
            # a single header of a layer does not open the whole layer
            ("high/x.cpp", '#include "other/two.h"\n', "src/high/x.cpp:1: high may not include other/two.h"),
            # relative and angle-bracket spellings of a tree header count too
            ("low/x.cpp", '#include "../mid/m.h"\n', "src/low/x.cpp:1: low may not include mid/m.h"),
            ("low/x.cpp", "#include <mid/m.h>\n", "src/low/x.cpp:1: low may not include mid/m.h"),
            ("low/x.cpp", '  #  include "mid/m.h"  // note\n', "src/low/x.cpp:1: low may not include mid/m.h"),
            # a bridge reaches only what it lists
            ("low/bridge.cpp", '#include "high/h.h"\n#include "mid/m.h"\n', "src/low/bridge.cpp:2: low may not"),
            ("low/x.cpp", '#include "low/missing.h"\n', 'src/low/x.cpp:1: #include "low/missing.h" is no file'),
            ("stray.cpp", "", "src/stray.cpp:1: the top of the tree has no layer"),
            ("new/x.cpp", "", "src/new/x.cpp:1: new has no layer"),
        ]
        for name, text, expect in cases:
            with self.subTest(file=name, text=text):
                errors = run({name: text})
                self.assertEqual(len(errors), 1, errors)
                self.assertTrue(errors[0].startswith(expect), errors[0])

    def test_commented_out_includes_do_not_count(self):
        text = '// #include "high/h.h"\n/* old:\n#include "high/h.h"\n*/\n#include "low/l.h"\n'
        self.assertEqual(run({"low/x.cpp": text}), [])

    def test_table_entries_that_name_nothing_real_are_reported(self):
        cases = [
            (TABLE.replace("high/h.h\n", "high/h.h mid/m.h\n"), "bridge low/bridge.cpp lists mid/m.h but does not need it"),
            (TABLE + "bridge mid/gone.cpp: high/h.h\n", "bridge mid/gone.cpp does not exist"),
            (TABLE.replace("mid: low", "mid: lowe"), "layer mid lists lowe, which is in no layer"),
            (TABLE.replace("other/one.h", "othr/one.h"), "layer high lists othr/one.h, which is in no layer"),
            (TABLE + "top gone.cpp\n", "top file gone.cpp does not exist"),
            (TABLE + "layers low\n", "cannot read this line"),
        ]
        for table, expect in cases:
            with self.subTest(expect=expect):
                errors = run({}, table)
                self.assertTrue(any(expect in e for e in errors), errors)

    def test_the_command_fails_on_a_bad_include_and_passes_on_a_clean_tree(self):
        with tempfile.TemporaryDirectory() as tmp:
            src = os.path.join(tmp, "src")
            for name, text in BASE.items():
                os.makedirs(os.path.join(src, os.path.dirname(name)), exist_ok=True)
                with open(os.path.join(src, name), "w") as f:
                    f.write(text)
            with open(os.path.join(src, "layers.txt"), "w") as f:
                f.write(TABLE)
            self.assertEqual(layers_check.main(["layers_check.py", src]), 0)
            with open(os.path.join(src, "low/l.cpp"), "a") as f:
                f.write('#include "mid/m.h"\n')
            self.assertEqual(layers_check.main(["layers_check.py", src]), 1)


if __name__ == "__main__":
    unittest.main()
