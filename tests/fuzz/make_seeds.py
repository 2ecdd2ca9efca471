#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into corpus/<target>/.

Run it after changing an input format, naming the targets to rewrite
(all when none is named); the files it writes are kept in the repository. Seeds named ok_* must be accepted whole, fail_* rejected whole
(the replayer checks this), others mix both.
"""
import json
import pathlib
import struct
import sys

HERE = pathlib.Path(__file__).resolve().parent


def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def with_crc(frame):
    return bytes(frame) + struct.pack("<H", crc16(frame))


def image_byte(address, byte_address):
    # The harness fills the image with this pattern before the first call.
    return (address * 31 + byte_address) & 0xFF


def read_reply(address, count, first=0x10):
    data = [(first + i) & 0xFF for i in range(2 * count)]
    return with_crc([address, 0x03, 2 * count] + data)


def write_echo(address, start):
    return with_crc([address, 0x06, 0x00, start, image_byte(address, start), image_byte(address, start + 1)])


MS = 10  # arrival times are in 100 µs steps


def call(write, address, start, count=1, pieces=(), show=True, baud=1, closed=False):
    op = (1 if write else 0) | (2 if show else 0) | (baud << 2) | (0x10 if closed else 0)
    out = bytes([op, address, start]) + (b"" if write else bytes([count]))
    out += bytes([len(pieces)])
    for at_ms, chunk in pieces:
        out += struct.pack("<HB", at_ms * MS, len(chunk)) + bytes(chunk)
    return out


def split(frame, *cuts):
    edges = [0, *cuts, len(frame)]
    return [frame[a:b] for a, b in zip(edges, edges[1:])]


def transactions():
    seeds = {}
    r8 = read_reply(1, 8)
    seeds["ok_read_8_at_160"] = call(False, 1, 160, 8, [(20, r8)])
    seeds["ok_read_29_registers"] = call(False, 250, 96, 29, [(20, read_reply(250, 29))])
    a, b, c = split(r8, 5, 12)
    seeds["ok_read_in_pieces"] = call(False, 1, 104, 8, [(20, a), (120, b), (250, c)])
    r1 = read_reply(7, 1)
    seeds["ok_read_dribbling"] = call(False, 7, 130, 1, [(20 + 140 * k, r1[k:k + 1]) for k in range(len(r1))])
    seeds["ok_read_trailing_noise"] = call(False, 3, 96, 2, [(20, read_reply(3, 2) + b"\x00\xff\x55")], baud=0)
    seeds["ok_write_echo"] = call(True, 3, 120, pieces=[(30, write_echo(3, 120))], baud=2)
    seeds["ok_write_at_167"] = call(True, 9, 167, pieces=[(30, write_echo(9, 167))])

    seeds["fail_read_silent"] = call(False, 1, 96, 8)
    seeds["fail_read_exception"] = call(False, 1, 96, 8, [(20, with_crc([1, 0x83, 0x02]))])
    seeds["fail_read_cut"] = call(False, 1, 96, 8, [(20, r8[:10])])
    bad = bytearray(r8)
    bad[-1] ^= 0x01
    seeds["fail_read_bad_crc"] = call(False, 1, 96, 8, [(20, bytes(bad))])
    seeds["fail_read_wrong_address"] = call(False, 2, 96, 8, [(20, r8)])
    seeds["fail_read_wrong_count"] = call(False, 1, 96, 4, [(20, r8)])
    # A reply one period too slow fails, and its bytes must not pass as the
    # next, silent call's reply.
    seeds["fail_read_late_then_stale"] = call(False, 1, 96, 8, [(400, r8)]) + call(False, 1, 96, 8)
    # Bytes on the line while the request is still going out are not a reply.
    seeds["fail_read_early_reply"] = call(False, 1, 96, 8, [(5, r8)])
    seeds["fail_read_endless_dribble"] = call(False, 1, 96, 8, [(20 + 100 * k, r8[k:k + 2]) for k in range(0, 22, 2)])
    seeds["fail_read_noise_burst"] = call(False, 1, 96, 8, [(20, r8)] + [(30 + k, bytes(255)) for k in range(5)])
    echo = bytearray(write_echo(3, 120))
    echo[7] ^= 0x80
    seeds["fail_write_bad_crc_high"] = call(True, 3, 120, pieces=[(30, bytes(echo))])
    seeds["fail_write_wrong_register"] = call(True, 3, 120, pieces=[(30, write_echo(3, 122))])
    seeds["fail_write_silent"] = call(True, 3, 120, show=False)

    seeds["mixed_session"] = (
        call(False, 5, 96, 8, [(20, read_reply(5, 8))])
        + call(True, 5, 100, pieces=[(30, write_echo(5, 100))])
        + call(False, 5, 96, 8, [(20, r8)], closed=True)
        + call(False, 5, 112, 8, [(20, read_reply(5, 8, 0x80))], show=False)
        + call(False, 0, 96, 8, [(20, read_reply(0, 8))])
        + call(False, 251, 96, 8, [(20, read_reply(251, 8))])
        + call(False, 5, 200, 0, [(20, with_crc([5, 0x03, 0x00]))]))
    return seeds


def settings():
    return {
        "ok_com2_19200_address5_even": bytes.fromhex("0100050200000800"),
        "ok_com3_4800_address250_odd": bytes.fromhex("0202fa0200000001"),
        "ok_com13": bytes.fromhex("0c01010000000e00"),
        "ok_high_values": bytes.fromhex("fffffafffffff505"),
        "ok_longer_file": bytes.fromhex("0100050200000800") + b"trailing bytes",
        "fail_bad_sum": bytes.fromhex("0100050200000900"),
        "fail_sum_bytes_swapped": bytes.fromhex("ffffffffffff05fa"),
        "fail_seven_bytes": bytes.fromhex("01000502000008"),
        "fail_all_zero": bytes(8),
        "fail_address_255": bytes.fromhex("0001ff0000000001"),
        "fail_all_ff": bytes.fromhex("fffffffffffffa05"),
        "fail_empty": b"",
    }


def parameter_file(members, version=1, form="torv-lcd-parameters"):
    document = {"format": form, "version": version}
    document.update(members)
    return (json.dumps(document, indent=2, ensure_ascii=False) + "\n").encode("utf-8")


def parameters():
    values = {
        "CalibrationT1": -0.5, "CalibrationT2": 0.0, "CalibrationT3": 0.5, "CalibrationT4": -10.0,
        "VentOpenTime": 10, "VentOpenPause": 5, "VentCloseTime": 12, "VentClosePause": 60,
        "HumidifyTime": 3, "HumidifyPause": "18:00", "HumidifyAlarmThreshold": 2.0,
        "AirHysteresis": 0.1, "DifferenceHysteresis": 5.0,
        "LcdMode": "WYŁĄCZONY", "LcdInfoTime1": 5, "LcdInfoTime2": 30,
        "SetTemperature": 99, "SetDifference": 0, "AlarmBuzzer": True,
    }
    steps = [{"hours": 4, "temperature": 40, "difference": 5}, {"hours": 99, "temperature": 99, "difference": 50}]
    steps += [{"hours": 0, "temperature": 0, "difference": 0}] * 8
    full = {"saved": "2026-12-08T10:15:00+01:00", "source": {"address": 7}, "parameters": values, "programme": steps}
    return {
        "ok_full_set": parameter_file(full),
        "ok_programme_only": parameter_file({"programme": steps}),
        "ok_one_line_with_bom": b"\xef\xbb\xbf" + json.dumps(
            {"parameters": {"LcdMode": "NORDA", "AirHysteresis": 2.5}, "version": 1,
             "format": "torv-lcd-parameters"}, ensure_ascii=False).encode("utf-8"),
        "fail_broken_json": parameter_file(full)[:-40],
        "fail_out_of_range": parameter_file({"parameters": dict(values, VentOpenTime=61, CalibrationT2=10.1),
                                             "programme": [dict(steps[0], difference=51)] + steps[1:]}),
        "fail_two_decimals": parameter_file({"parameters": {"AirHysteresis": 1.25}}),
        "fail_wrong_version": parameter_file(full, version=2),
        "fail_foreign_format": parameter_file(full, form="chamber-backup"),
        "fail_too_many_steps": parameter_file({"programme": steps + steps[:1]}),
        "fail_unknown_keys": parameter_file({"parameters": {"SlaveAddress": 9}, "comment": "x"}),
        "fail_wrong_types": parameter_file({"parameters": {"LcdMode": 1, "AlarmBuzzer": "tak", "VentOpenTime": "10"}}),
        "fail_empty": b"",
        "fail_repeated_key": parameter_file({"parameters": {"SetTemperature": 99}}).replace(
            b'"SetTemperature": 99', b'"SetTemperature": 99, "SetTemperature": 10'),
        "fail_control_characters": parameter_file({"\x1b[2J\r\n": 1, "parameters": {"Set\x00Temperature": 1}}),
    }


def chamber_file(text):
    return ('{"format": "torv-lcd-chambers", "version": 1' + text + '}').encode("utf-8")


def chambers():
    alarms = ('"alarms": {"noCommunicationScans": 3, "deviationCelsius": 5.0, "deviationMinutes": 30, '
              '"sensorLowCelsius": -40.0, "sensorHighCelsius": 150.0, "wetAboveDryCelsius": 2.0, "wetAboveDryScans": 3}')
    return {
        "ok_full": chamber_file(', "roundSeconds": 60, ' + alarms +
                                ', "chambers": [{"address": 3, "name": "Komora 3 – dąb"}, {"address": 7, "name": "Komora 7"}]'),
        "ok_minimal": chamber_file(""),
        "ok_defaults": chamber_file(', "chambers": [{"address": 250}, {"address": 1, "name": "  Sosna  "}]'),
        "fail_twice": chamber_file(', "chambers": [{"address": 3}, {"address": 3}]'),
        "fail_address": chamber_file(', "chambers": [{"address": 251}]'),
        "fail_round": chamber_file(', "roundSeconds": 9'),
        "fail_decimals": chamber_file(', "alarms": {"deviationCelsius": 5.05}'),
        "fail_repeated": chamber_file(', "version": 1'),
        "fail_control": chamber_file(', "chambers": [{"address": 3, "name": "a\tb"}]'),
        "fail_foreign": b'{"format": "torv-lcd-parameters", "version": 1}',
        "fail_empty": b"",
    }


TARGETS = {"transactions": transactions, "settings": settings, "parameters": parameters, "chambers": chambers}


def main():
    # Only the targets named, all without names: a folder may also hold
    # inputs a fuzzer found, and rewriting a target's seeds removes them.
    for target in sys.argv[1:] or TARGETS:
        seeds = TARGETS[target]()
        folder = HERE / "corpus" / target
        folder.mkdir(parents=True, exist_ok=True)
        for old in folder.iterdir():
            old.unlink()
        for name, data in seeds.items():
            (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
