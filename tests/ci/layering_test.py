#!/usr/bin/env python3
"""Runs .ci/layering on small trees built in a temporary folder."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", ".ci", "layering")

# A tree that keeps every rule, while using each thing a layer is allowed to use.
CLEAN = {
    "winsim/include/d3d11.h": "#pragma once\n",
    "winsim/include/d3dcommon.h": "#pragma once\n",
    "winsim/include/wrl/client.h": "#pragma once\n",
    "winsim/include/winsim/control.h": "#pragma once\n",
    "winsim/include/winsim/gpu.h": "#pragma once\n",
    "winsim/src/gpu/texture.h": "#pragma once\n#include <cstdint>\n#include <vector>\n",
    "winsim/src/gpu/draw.h": '#pragma once\n#include <memory>\n\n#include "gpu/texture.h"\n#include "shader/lanes.h"\n',
    "winsim/src/gpu/draw.cpp": '#include "draw.h"\n\n#include <immintrin.h>\n',
    "winsim/src/shader/lanes.h": "#pragma once\n#include <immintrin.h>\n",
    "winsim/src/shader/machine.h": '#pragma once\n#include <glslang/Public/ShaderLang.h>\n#include <SPIRV/spirv.hpp>\n\n#include "shader/lanes.h"\n',
    "winsim/src/kernel/handles.h": "#pragma once\n#include <d3d11.h>\n",
    "winsim/src/machine/machine.h": '#pragma once\n#include "gpu/texture.h"\n#include "winsim/control.h"\n',
    "winsim/src/d3d11/device.h": '#pragma once\n#include <d3d11.h>\n#include <wrl/client.h>\n\n'
                                 '#include "gpu/draw.h"\n#include "kernel/handles.h"\n#include "machine/machine.h"\n#include "winsim/gpu.h"\n',
    "winsim/src/d3d11/device.cpp": '#include "d3d11/device.h"\n#include "device.h"\n',
    "capture/include/velda/frame_source.h": "#pragma once\n#include <cstdint>\n",
    "capture/src/impl.h": '#pragma once\n#include <d3d11.h>\n#include <wrl/client.h>\n\n#include "velda/frame_source.h"\n',
    "capture/src/run.cpp": '#include "impl.h"\n\n#include <thread>\n',
    "vram_test/main.cpp": '#include <d3d11.h>\n\n#include "velda/frame_source.h"\n',
}


class Layering(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name
        for path, text in CLEAN.items():
            self.write(path, text)

    def tearDown(self):
        self.dir.cleanup()

    def write(self, path, text):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as f:
            f.write(text)

    def run_script(self):
        done = subprocess.run([sys.executable, SCRIPT, self.root], capture_output=True, text=True)
        return done.returncode, done.stdout

    def assert_one_violation(self, path, text, expected):
        self.write(path, text)
        code, out = self.run_script()
        self.assertEqual(code, 1, out)
        lines = out.splitlines()
        self.assertEqual(len(lines), 2, out)  # the violation and the summary
        self.assertTrue(lines[0].startswith(path + ":"), out)
        self.assertIn(expected, lines[0])
        self.assertIn("1 violation", lines[1])
        return lines[0]

    def test_clean_tree_passes(self):
        code, out = self.run_script()
        self.assertEqual(code, 0, out)
        self.assertEqual(out.strip(), f"layering: ok ({sum(not p.startswith('winsim/include') for p in CLEAN)} files)")

    def test_gpu_including_an_sdk_header_fails(self):
        line = self.assert_one_violation("winsim/src/gpu/shared.h", "#pragma once\n#include <vector>\n#include <d3d11.h>\n", "<d3d11.h>")
        self.assertTrue(line.startswith("winsim/src/gpu/shared.h:3:"), line)

    def test_gpu_including_an_sdk_header_by_a_relative_quoted_name_fails(self):
        self.assert_one_violation("winsim/src/gpu/shared.h", '#include "../d3d11.h"\n', '"../d3d11.h"')

    def test_sdk_headers_are_listed_from_the_include_folder(self):
        self.write("winsim/include/d3d12.h", "#pragma once\n")
        self.assert_one_violation("winsim/src/gpu/shared.h", "#include <d3d12.h>\n", "<d3d12.h>")

    def test_gpu_including_kernel_fails(self):
        self.assert_one_violation("winsim/src/gpu/fence.h", '#include "kernel/handles.h"\n', '"kernel/handles.h"')

    def test_gpu_including_kernel_through_a_relative_path_fails(self):
        self.assert_one_violation("winsim/src/gpu/fence.h", '#include "../kernel/handles.h"\n', '"../kernel/handles.h"')

    def test_gpu_including_machine_fails(self):
        self.assert_one_violation("winsim/src/gpu/shared.h", '#include "machine/machine.h"\n', '"machine/machine.h"')

    def test_gpu_including_the_control_api_fails(self):
        self.assert_one_violation("winsim/src/gpu/debug.cpp", '#include "winsim/gpu.h"\n', '"winsim/gpu.h"')

    def test_gpu_including_a_front_end_header_that_does_not_exist_yet_fails(self):
        self.assert_one_violation("winsim/src/gpu/debug.cpp", '#include "d3d11/missing.h"\n', '"d3d11/missing.h"')

    def test_shader_including_gpu_fails(self):
        self.assert_one_violation("winsim/src/shader/machine.cpp", '#include "gpu/draw.h"\n', '"gpu/draw.h"')

    def test_shader_including_an_sdk_header_fails(self):
        self.assert_one_violation("winsim/src/shader/code.h", "#include <d3dcommon.h>\n", "<d3dcommon.h>")

    def test_capture_including_the_control_api_fails(self):
        self.assert_one_violation("capture/src/start.cpp", '#include "impl.h"\n#include "winsim/control.h"\n', '"winsim/control.h"')

    def test_capture_including_a_winsim_internal_fails(self):
        self.assert_one_violation("capture/src/convert.cpp", '#include "gpu/texture.h"\n', '"gpu/texture.h"')

    def test_capture_public_header_including_the_control_api_fails(self):
        self.assert_one_violation("capture/include/velda/source.h", "#include <winsim/machine.h>\n", "<winsim/machine.h>")

    def test_control_api_spelt_so_it_resolves_nowhere_is_still_the_control_api(self):
        self.assert_one_violation("capture/src/start.cpp", '#include "../winsim/control.h"\n', '"../winsim/control.h"')

    def test_harness_including_a_winsim_internal_fails(self):
        self.assert_one_violation("vram_test/report.cpp", '#include "machine/machine.h"\n', '"machine/machine.h"')

    def test_include_cycle_fails_naming_its_files(self):
        self.write("winsim/src/dxgi/a.h", '#pragma once\n#include "dxgi/b.h"\n')
        self.write("winsim/src/dxgi/b.h", '#pragma once\n#include "dxgi/a.h"\n')
        code, out = self.run_script()
        self.assertEqual(code, 1, out)
        lines = out.splitlines()
        self.assertEqual(len(lines), 2, out)  # one cycle, reported once
        self.assertIn("cycle", lines[0])
        self.assertIn("dxgi/a.h", lines[0])
        self.assertIn("dxgi/b.h", lines[0])

    def test_include_cycle_through_plain_names_in_one_folder_fails(self):
        self.write("winsim/src/machine/a.h", '#pragma once\n#include "b.h"\n')
        self.write("winsim/src/machine/b.h", '#pragma once\n#include "c.h"\n')
        self.write("winsim/src/machine/c.h", '#pragma once\n#include "machine/a.h"\n')
        code, out = self.run_script()
        self.assertEqual(code, 1, out)
        self.assertIn("machine/a.h -> machine/b.h -> machine/c.h -> machine/a.h", out)

    def test_include_cycle_names_only_the_files_on_it(self):
        self.write("winsim/src/dxgi/entry.h", '#pragma once\n#include "dxgi/p.h"\n')
        self.write("winsim/src/dxgi/p.h", '#pragma once\n#include "dxgi/q.h"\n')
        self.write("winsim/src/dxgi/q.h", '#pragma once\n#include "dxgi/p.h"\n')
        code, out = self.run_script()
        self.assertEqual(code, 1, out)
        self.assertIn("winsim/src/dxgi/q.h:2: include cycle dxgi/p.h -> dxgi/q.h -> dxgi/p.h", out)
        self.assertNotIn("entry.h", out)

    def test_two_files_including_one_header_is_not_a_cycle(self):
        self.write("winsim/src/dxgi/objects.h", '#pragma once\n#include "gpu/draw.h"\n#include "gpu/texture.h"\n')
        code, out = self.run_script()
        self.assertEqual(code, 0, out)


if __name__ == "__main__":
    unittest.main(verbosity=1)
