#!/usr/bin/env python3
"""Compiles one-line probe files with the include roots of a layer's own sources, as the build gives them, and
checks that a layer finds the headers of the layers it uses and not those of a layer above or beside it.
Usage: include_probe.py <build folder> <source folder src/>"""
import json
import os
import shlex
import subprocess
import sys
import tempfile

# (layer, header, found): a header of a layer above or beside must not be found.
PROBES = [
    ("kit", "platform/Geometry.h", True),
    ("picture", "platform/Image.h", False),
    ("platform", "picture/PictureDecoding.h", True),
    ("kit", "document/VQDocument.h", False),
    ("kit", "editor/GraphViewController.h", False),
    ("kit", "model/graph/Graph.h", False),
    ("document", "kit/ScrollView.h", False),
    ("canvas", "document/VQDocument.h", True),
    ("canvas", "editor/GraphViewController.h", False),
    ("model", "layout/GraphLayouter.h", False),
    ("editor", "inspector/InspectorController.h", False),
]


def layer_command(commands, layer):
    """The compile command of one of the layer's own sources, as a list of arguments without its input and
    output."""
    for entry in commands:
        if f"/src/{layer}/" in entry["file"] and entry["file"].endswith(".cpp"):
            args = shlex.split(entry["command"]) if "command" in entry else list(entry["arguments"])
            kept, skip = [], False
            for arg in args:
                if skip:
                    skip = False
                elif arg in ("-o", "-c"):
                    skip = True
                elif arg != entry["file"]:
                    kept.append(arg)
            if kept and os.path.basename(kept[0]) == "ccache":
                kept = kept[1:]
            return entry["directory"], kept
    sys.exit(f"no compile command for a source of src/{layer}")


def main():
    build, src = sys.argv[1], sys.argv[2]
    with open(os.path.join(build, "compile_commands.json")) as f:
        commands = json.load(f)
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        for layer, header, found in PROBES:
            if not os.path.exists(os.path.join(src, header)):
                sys.exit(f"the probe's header src/{header} does not exist: the probe would prove nothing")
            probe = os.path.join(folder, f"{layer}_probe.cpp")
            with open(probe, "w") as f:
                f.write(f'#include "{header}"\n')
            directory, args = layer_command(commands, layer)
            run = subprocess.run(args + ["-fsyntax-only", probe], cwd=directory, capture_output=True, text=True)
            missing = f"{header}: No such file or directory" in run.stderr
            if found and run.returncode != 0:
                print(f"src/{layer} cannot include {header}:\n{run.stderr}")
                failures += 1
            elif not found and not missing:
                print(f"src/{layer} includes {header}, which is above or beside it, and "
                      + ("compiles" if run.returncode == 0 else f"fails for another reason:\n{run.stderr}"))
                failures += 1
            else:
                print(f"src/{layer} {'finds' if found else 'does not find'} {header}")
    sys.exit(1 if failures else 0)


main()
