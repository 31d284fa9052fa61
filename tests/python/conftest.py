"""The module under test comes from the build tree (PYTHONPATH) or, for the installed
package, from wherever the interpreter finds it; the command-line tool from TESORA_CLI."""
import json
import os
import pathlib
import subprocess

import numpy as np
import pytest

SOURCE = pathlib.Path(os.environ.get("TESORA_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
SAMPLES = SOURCE / "samples"


@pytest.fixture(scope="session")
def cli():
    path = os.environ.get("TESORA_CLI")
    if not path:
        pytest.skip("TESORA_CLI not set: the command-line tool is not at hand")

    def run(*args, check=True):
        result = subprocess.run([path, *map(str, args)], capture_output=True, text=True)
        if check and result.returncode != 0:
            raise AssertionError(f"tesora-cli {' '.join(map(str, args))}: {result.returncode}\n{result.stderr}")
        return result

    run.json = lambda *args: json.loads(run(*args, "--json").stdout)
    return run


def random_picture(seed, height, width):
    return np.random.default_rng(seed).integers(0, 256, size=(height, width), dtype=np.uint8)


@pytest.fixture(scope="session")
def chelsea():
    return SAMPLES / "chelsea-451x300.bmp"
