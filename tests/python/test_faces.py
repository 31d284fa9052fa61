"""compress, propose and filters against the command-line tool's JSON, field for field."""
import pytest
from PIL import Image

import tesora
from conftest import SAMPLES, random_picture


@pytest.mark.parametrize("picture, settings", [
    ("chelsea-451x300.bmp", dict(level=5, position=50, epsilon=5.0)),
    ("brick-512.bmp", dict(level=2, delta=0.125, epsilon=30.0)),
    ("camera-512.bmp", dict(level=7)),
    ("camera-512.bmp", dict(level=3, position=100, epsilon=0.0)),
    ("chelsea-451x300.bmp", dict(steps=4, position=61, zeros=90.0)),
    ("brick-512.bmp", dict(level=4, delta=0.5, rule="norm", epsilon=12.0, quantise=4.0)),
    ("camera-512.bmp", dict(level=5, rule="norm", zeros=75.5)),
    ("chelsea-451x300.bmp", dict(level=6, position=20, rule="levels", epsilons=[0, 2.5, 8])),
    ("camera-512.bmp", dict(level=5, basis="cdf97", rule="norm", bpp=1.0)),
    ("chelsea-451x300.bmp", dict(steps=3, delta=0.5, padding="mirror", synthesis="exact", quantise=4.0)),
])
def test_compress_equals_the_tool(cli, picture, settings):
    path = str(SAMPLES / picture)
    args = ["compress", path]
    for key, value in settings.items():
        if key == "epsilons":
            continue
        text = value if isinstance(value, str) else repr(value)
        if key == "rule" and value == "levels":
            text = "levels:" + ",".join(repr(e) for e in settings["epsilons"])
        args += [f"--{key}", text]
    got = tesora.compress(path, **settings)
    assert got == cli.json(*args)
    assert got["bands"] and got["steps"] == got["picture_level"] - got["level"]


def test_compress_of_a_generated_picture(cli, tmp_path):
    import numpy as np
    picture = random_picture(9, 130, 70)
    # Stored as PNG grey: red = the values.
    path = tmp_path / "p.npy"
    np.save(path, picture.T.astype(np.float64))
    cli("synthesise", path, "--level", 7, "--width", 70, "--height", 130, "--reconstruction", tmp_path / "p.png",
        check=False)  # 130 rows do not fit the square of a 70-wide picture: refused
    png = tmp_path / "g.png"
    square = np.zeros((129, 129))
    square[:70, :129] = picture[:129].T
    np.save(path, square)
    cli("synthesise", path, "--level", 7, "--width", 70, "--height", 129, "--reconstruction", png)
    expected = cli.json("compress", png, "--level", 3, "--position", 20, "--epsilon", "3")
    assert tesora.compress(str(png), level=3, position=20, epsilon=3.0) == expected
    array_result = tesora.compress(tesora.read_picture(png), level=3, position=20, epsilon=3.0)
    assert array_result["picture"] is None
    assert {k: v for k, v in array_result.items() if k != "picture"} == \
           {k: v for k, v in expected.items() if k != "picture"}


@pytest.mark.parametrize("options", [{}, {"schranke": 12.5}, {"position": 87}, {"schranke": -1.0, "position": 3}])
def test_propose_equals_the_tool(cli, options):
    path = str(SAMPLES / "chelsea-451x300.bmp")
    args = ["propose", path]
    for key, value in options.items():
        args += [f"--{key}", repr(value)]
    assert tesora.propose_delta(path, **options) == cli.json(*args)


@pytest.mark.parametrize("option, value", [("position", 61), ("delta", 0.3), ("delta", 1.0)])
def test_filters_equal_the_tool(cli, option, value):
    expected = cli.json("filters", f"--{option}", repr(value))
    got = tesora.filters(**{option: value})
    assert expected.pop("format") == 1
    assert {k: (v.tolist() if hasattr(v, "tolist") else v) for k, v in got.items()} == expected


def test_read_picture_refuses_as_the_tool_in_english(cli, tmp_path):
    damaged = tmp_path / "cut.bmp"
    damaged.write_bytes((SAMPLES / "camera-512.bmp").read_bytes()[:5000])
    (tmp_path / "text.png").write_text("no picture")
    (tmp_path / "empty.png").write_bytes(b"")
    wide = tmp_path / "wide.png"
    Image.fromarray(random_picture(5, 20, 1100)).save(wide)
    for path, error, message in [
        (damaged, ValueError, f'The file "{damaged}" is damaged or incomplete.'),
        (tmp_path / "text.png", ValueError, f'The file "{tmp_path / "text.png"}" is not a readable picture.'),
        (tmp_path / "empty.png", ValueError, f'The file "{tmp_path / "empty.png"}" holds no picture.'),
        (wide, ValueError, f'The picture "{wide}" is 1100 pixels wide; at most 1025 are possible.'),
        (tmp_path, ValueError, f'"{tmp_path}" is a folder, not a picture.'),
        (tmp_path / "missing.png", FileNotFoundError, f'The file "{tmp_path / "missing.png"}" does not exist.'),
    ]:
        # The tool refuses the same files in its own words.
        assert cli("info", path, check=False).returncode == 1
        with pytest.raises(error) as refused:
            tesora.read_picture(path)
        assert (refused.value.strerror if isinstance(refused.value, OSError) else str(refused.value)) == message
    # Scaled down as the tool's --fit does.
    fitted = tesora.read_picture(wide, fit=True)
    assert fitted.shape[1] <= tesora.MAX_WIDTH
    theirs = cli.json("compress", wide, "--fit", "--level", 2)
    assert (theirs["width"], theirs["height"]) == (fitted.shape[1], fitted.shape[0])
    assert tesora.compress(fitted, level=2)["psnr_exact"] == theirs["psnr_exact"]


def test_read_picture_takes_a_dash_for_a_file(tmp_path, monkeypatch, chelsea):
    # Only the command line reads "-" from standard input; here it names a file.
    import numpy as np
    monkeypatch.chdir(tmp_path)
    with pytest.raises(FileNotFoundError) as missing:
        tesora.read_picture("-")
    assert missing.value.filename == "-"
    (tmp_path / "-").write_bytes(chelsea.read_bytes())
    assert np.array_equal(tesora.read_picture("-"), tesora.read_picture(chelsea))
    assert tesora.compress("-", level=3)["picture"] == "-"


def test_synthesise_refuses_a_damaged_matrix_file(cli, tmp_path):
    bad = tmp_path / "bad.npy"
    bad.write_bytes(b"\x93NUMPY\x01\x00\xff\xff{'descr': '<f8'")
    result = cli("synthesise", bad, "--level", 2, "--width", 5, "--height", 5, "--reconstruction",
                 tmp_path / "r.png", check=False)
    assert result.returncode == 1 and "npy" in result.stderr
    assert not (tmp_path / "r.png").exists()


def test_encode_and_decode_equal_the_tool(cli, tmp_path):
    path = str(SAMPLES / "chelsea-451x300.bmp")
    data = tesora.encode(path, size=6000, delta=0.25)
    assert 5940 <= len(data) <= 6000
    cli("encode", path, "-o", tmp_path / "c.tsr", "--bytes", 6000, "--delta", 0.25,
        "--reconstruction", tmp_path / "c.png")
    assert (tmp_path / "c.tsr").read_bytes() == data
    picture = tesora.decode(data)
    assert picture.shape == (300, 451)
    assert (picture == tesora.read_picture(tmp_path / "c.png")).all()
    with pytest.raises(ValueError):
        tesora.decode(data[:-1])
    with pytest.raises(ValueError):
        tesora.encode(path, bpp=1, quantise=2)


def _write_bmp(path, rgb):
    """A 24-bit BMP of an RGB array (rows bottom up, each padded to 4 bytes)."""
    import struct
    height, width, _ = rgb.shape
    row = (3 * width + 3) // 4 * 4
    pixels = b"".join(rgb[y, :, ::-1].tobytes().ljust(row, b"\0") for y in range(height - 1, -1, -1))
    header = struct.pack("<2sIHHIIiiHHIIiiII", b"BM", 54 + len(pixels), 0, 0, 54, 40, width, height, 1, 24, 0,
                         len(pixels), 2835, 2835, 0, 0)
    path.write_bytes(header + pixels)


@pytest.mark.parametrize("options", [dict(basis="cdf97"), dict(delta=0.5, synthesis="exact")])
def test_colour_encode_equals_the_tool(cli, tmp_path, options):
    import numpy as np
    y, x = np.mgrid[0:70, 0:90]
    rgb = np.stack([x * 2, (x * y) % 256, 255 - y * 3], axis=-1).astype(np.uint8)
    _write_bmp(tmp_path / "c.bmp", rgb)
    data = tesora.encode(rgb, size=1500, colour=True, **options)
    flags = [word for key, value in options.items() for word in (f"--{key}", value)]
    cli("encode", tmp_path / "c.bmp", "-o", tmp_path / "c.tsr", "--bytes", 1500, "--colour", *flags)
    assert (tmp_path / "c.tsr").read_bytes() == data
    assert tesora.decode(data).shape == (70, 90, 3)
    with pytest.raises(ValueError):
        tesora.encode(rgb[..., 0], size=1500, colour=True)
    with pytest.raises(ValueError):
        tesora.encode(rgb, size=1500, colour=True, basis="haar", delta=0.5)
