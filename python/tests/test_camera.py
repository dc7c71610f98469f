"""The Python package as a user meets it, on the library's virtual cameras,
in a process without Qt."""

import os

import pytest

import brxsdk


def test_values_in_photographers_units_and_refusals_with_their_reason():
    with brxsdk.Camera(virtual=0x2011) as cam:
        values = cam.properties
        assert cam.product_id == 0x2011 and cam.identity["serial"] == "VC00002011"
        assert isinstance(values["Aperture"], float) and 8.0 in values["ApertureList"]
        assert isinstance(values["FileFormat"], str) and isinstance(values["DriveMode"], str)
        cam.set("Aperture", 8)
        cam.set("ExposCompens", "-0.5 EV")
        assert cam.get("Aperture") == 8.0 and cam.get("ExposCompens") == -0.5
        cam.set("ExposCompens", 1)
        assert cam.get("ExposCompens") == 1.0

        refusals = [("Sensitivity", 123, "ISO 123 is not among the camera's values of Sensitivity; valid values: Auto ISO, ISO 50,"),
                    ("Aperture", "wide open", "is not a value of Aperture (f-number)"),
                    ("FocusMaxDistance", 1.0, "FocusMaxDistance cannot be set"),
                    ("Shutter", 0.1, "no property 'Shutter'")]
        for name, value, reason in refusals:
            with pytest.raises(brxsdk.Error, match=reason.replace("(", r"\(").replace(")", r"\)")):
                cam.set(name, value)
        assert cam.get("Aperture") == 8.0
        with pytest.raises(brxsdk.Error, match="one at a time"):
            brxsdk.Camera(virtual=0x2031)


def test_capture_saves_each_file_of_a_release_under_the_camera_s_name(tmp_path):
    with brxsdk.Camera(virtual=0x2011) as cam:
        cam.set("FileFormat", "DNG + JPG (fine)")
        (tmp_path / "BRX_0002.JPG").write_bytes(b"kept")
        first = cam.capture(str(tmp_path))
        second = cam.capture(str(tmp_path))
    assert [os.path.basename(p) for p in first + second] == [
        "BRX_0001.DNG", "BRX_0001.JPG", "BRX_0002.DNG", "BRX_0002-1.JPG"]
    assert (tmp_path / "BRX_0002.JPG").read_bytes() == b"kept"
    assert open(second[1], "rb").read(2) == b"\xff\xd8"


def test_tethered_pictures_go_on_after_the_camera_came_back(tmp_path):
    with brxsdk.Camera(virtual=0x2031) as cam:
        cam.set("FileFormat", "DNG")
        changes = []
        cam.on_change(lambda name, value: changes.append((name, value)))
        cam.press_virtual_shutter()
        shot = next(cam.pictures(str(tmp_path), timeout=20))
        cam.set_virtual_connected(False)
        cam.wait_connected(False)
        cam.set_virtual_connected(True)
        cam.wait_connected(True)
        cam.press_virtual_shutter()
        again = next(cam.pictures(str(tmp_path), timeout=20))
        cam.set("Aperture", 5.6)
        assert cam.wait(10, until=lambda: ("Aperture", 5.6) in changes)
    assert [os.path.basename(shot), os.path.basename(again)] == ["BRX_0001.DNG", "BRX_0002.DNG"]


def test_liveview_yields_jpeg_frames_and_stops_with_the_loop():
    with brxsdk.Camera(virtual=0x2041) as cam:
        frames = []
        for frame in cam.liveview():
            frames.append(frame)
            if len(frames) == 3:
                break
        assert all(frame.startswith(b"\xff\xd8") for frame in frames)
        assert cam.wait(10, until=lambda: cam.get("WantLiveView") is False)
