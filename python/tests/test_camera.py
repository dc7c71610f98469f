"""The Python package as a user meets it, on the library's virtual cameras,
in a process without Qt."""

import logging
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
                    ("Aperture", "wide open", "cannot read 'wide open' as Aperture (f-number); valid values: "),
                    ("FocusMaxDistance", 1.0, "FocusMaxDistance cannot be set: it is read-only"),
                    ("Apertur", 8, "there is no property 'Apertur'; did you mean Aperture?"),
                    ("WhiteBalance", "Daylite", "cannot read 'Daylite' as WhiteBalance (white-balance preset or "
                                                "kelvin); did you mean Daylight?")]
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


def test_a_picture_the_card_lost_while_away_ends_pictures_with_its_name(tmp_path):
    with brxsdk.Camera(virtual=0x2031) as cam:
        lost = b"BRX_0007.DNG"
        # The record as the library's thread hands it over.
        cam._on_frame(None, 12, lost, len(lost))
        with pytest.raises(brxsdk.Error, match="the picture BRX_0007.DNG is lost"):
            next(cam.pictures(str(tmp_path), timeout=5))
    assert list(tmp_path.iterdir()) == []


def test_liveview_yields_jpeg_frames_and_stops_with_the_loop():
    with brxsdk.Camera(virtual=0x2041) as cam:
        frames = []
        for frame in cam.liveview():
            frames.append(frame)
            if len(frames) == 3:
                break
        assert all(frame.startswith(b"\xff\xd8") for frame in frames)
        assert cam.wait(10, until=lambda: cam.get("WantLiveView") is False)


def test_a_camera_on_the_network_tethers_as_one_on_usb(tmp_path):
    port = os.environ.get("PTPIP_PORT")
    if not port:
        pytest.skip("no camera served over PTP/IP (run under ptpip-virtual-camera)")
    with pytest.raises(brxsdk.Error, match="is no network address"):
        brxsdk.Camera(network="127.0.0.1:70000")
    with brxsdk.Camera(network="127.0.0.1:" + port) as cam:
        assert cam.product_id == 0x2011
        cam.set("Aperture", 8)
        assert cam.get("Aperture") == 8.0
        cam.set("FileFormat", "DNG + JPG (fine)")
        files = cam.capture(str(tmp_path))
    assert [os.path.basename(p) for p in files] == ["BRX_0001.DNG", "BRX_0001.JPG"]
    assert open(files[1], "rb").read(2) == b"\xff\xd8"


def test_a_value_the_camera_does_not_hold_is_an_error():
    with brxsdk.Camera(virtual=0x2031) as cam:
        before = cam.get("Sensitivity")
        cam.set("Sensitivity", "Auto ISO")
        assert cam.get("Sensitivity") == 0 and cam.get("SensitivityAuto") is True
        cam.set("SensitivityAuto", False)
        assert cam.get("SensitivityAuto") is False and cam.get("Sensitivity") == before > 0
        with pytest.raises(brxsdk.Error, match="^the camera did not take FocusDistance = 0.20 m; it holds 0.45 m$"):
            cam.set("FocusDistance", 0.2)
        cam.set("IntervalTime", "7 s")
        assert cam.get("IntervalTime") == 5
        with pytest.raises(brxsdk.Error, match="outside the camera's range of IntervalTime: 1 s to 999 s"):
            cam.set("IntervalTime", 1000)


def test_mirror_up_takes_two_releases_per_picture(tmp_path):
    with brxsdk.Camera(virtual=0x2031) as cam:
        cam.set("FileFormat", "DNG")
        cam.set("MirrorUpMode", True)
        files = cam.capture(str(tmp_path), timeout=20)
    assert [os.path.basename(p) for p in files] == ["BRX_0001.DNG"]


def test_the_library_s_log_goes_to_logging_quiet_by_default(caplog, capfd):
    with caplog.at_level(logging.DEBUG, logger="brxsdk"):
        with brxsdk.Camera(virtual=0x2031) as cam:
            cam.get("Aperture")
    lines = [record.getMessage() for record in caplog.records if record.name == "brxsdk"]
    assert "====== init BRX SDK ======" in lines, lines
    assert all(record.levelno == logging.DEBUG for record in caplog.records if record.name == "brxsdk")
    assert "init BRX SDK" not in capfd.readouterr().err


def test_list_cameras_names_each_with_its_port():
    assert brxsdk.Camera._open is None
    n = brxsdk.camera.n
    assert n.library().brxsdk_use_virtual_camera_with_serial(0x2061, b"RIG-1")
    try:
        assert brxsdk.list_cameras() == [{"product_id": 0x2061, "model": "Virtual Camera 0x2061", "serial": "RIG-1",
                                          "port": "virtual:0x2061", "in_use": False}]
    finally:
        n.library().brxsdk_use_virtual_camera(0)


def test_select_tethers_only_the_camera_named():
    with brxsdk.Camera(virtual=0x2031, virtual_serial="CAM7", select="serial:CAM7") as cam:
        assert cam.identity["serial"] == "CAM7"
        # The virtual camera in the process sits in no socket.
        assert cam.identity["port"] == ""
    with pytest.raises(brxsdk.Error, match="names no camera: a camera is named by serial:SERIAL"):
        brxsdk.Camera(virtual=0x2031, select="usb:1-0")
    with pytest.raises(brxsdk.Error, match="no camera connected within 1 s"):
        brxsdk.Camera(virtual=0x2031, select="product:0x2011", timeout=1)
    with pytest.raises(brxsdk.Error, match="with serial number 'a/b'"):
        brxsdk.Camera(virtual=0x2031, virtual_serial="a/b")
    # Each refusal left the library's defaults for the next camera.
    with brxsdk.Camera(virtual=0x2011) as cam:
        assert cam.identity["serial"] == "VC00002011"


def test_the_card_is_listed_fetched_shown_and_freed(tmp_path):
    with brxsdk.Camera(virtual=0x2031, card=5) as cam:
        files = cam.files()
        assert [f["name"] for f in files] == ["BRX_0001.JPG", "BRX_0002.JPG", "BRX_0003.DNG", "BRX_0003.JPG",
                                              "BRX_0004.JPG", "BRX_0005.JPG"]
        assert files[0]["captured"] == "2026-05-01 08:01:37" and files[0]["folder"] == "100BRX"
        assert not any(f["delivered"] for f in files)
        first = cam.download(files[0], str(tmp_path))
        again = cam.download("BRX_0001.JPG", str(tmp_path))
        assert os.path.basename(first) == "BRX_0001.JPG" and os.path.basename(again) == "BRX_0001-1.JPG"
        data = open(first, "rb").read()
        assert len(data) == files[0]["size"] and data == open(again, "rb").read()
        assert data.startswith(b"\xff\xd8") and data.endswith(b"\xff\xd9")
        assert cam.thumbnail(files[2]).startswith(b"\xff\xd8")
        room = cam.card_room
        assert room["capacity"] == 32 << 30 and room["free"] == room["capacity"] - sum(f["size"] for f in files)
        cam.delete("BRX_0002.JPG")
        assert "BRX_0002.JPG" not in [f["name"] for f in cam.files()]
        with pytest.raises(brxsdk.Error, match="no file 'BRX_0002.JPG' on the card"):
            cam.delete("BRX_0002.JPG")


def test_the_card_s_room_is_told_as_pictures_take_it(tmp_path):
    with brxsdk.Camera(virtual=0x2011, card=2) as cam:
        rooms = []
        cam.on_card_room(rooms.append)
        cam.capture(str(tmp_path))
        assert cam.wait(30, until=lambda: rooms and rooms[-1] == cam.card_room)
        assert rooms[-1]["free"] < rooms[-1]["capacity"]
        told = len(rooms)
        cam.delete("BRX_0001.JPG")
        assert cam.wait(30, until=lambda: len(rooms) > told)
        assert rooms[-1] == cam.card_room and rooms[-1]["free"] > rooms[told - 1]["free"]
