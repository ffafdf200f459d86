"""The real radiogate.dll under Wine, loaded by the radio host, against our test bus driver on
root-enumerated devices: the exports' debugger lines, results and answers for each kind of device
and each way the driver can answer."""
import re

import pytest

from radio_devices import (  # noqa: F401
    EXPORTS_LISTING, OTHER_MAKER, Host, devices, host, lines_match, radio_tools)

ERROR_SUCCESS = 0
ERROR_ACCESS_DENIED = 5
ERROR_MOD_NOT_FOUND = 126

DENIED = "Access denied (5): no usable Vantrel device or the driver refused."

ENTER_QUERY = "Enter Function IsBluetoothRadioEnabled()\r\n"
# Wine's CM_Get_DevNode_Status writes nothing, so both words keep the 255 they were preset to.
STATUS = ["The status of uStatus is 255!\n", "The status of uProblem is 255!\n"]
BUS_FOUND = [*STATUS, "This device is 7715 dongle\n"]
RADIOS = "Enter if(hardwareDeviceInfo > 0)\n"
MEMBER_INDEX = re.compile(r"The MemberIndex of SetupDiEnumDeviceInfo is \d+!\n")
QUERY_SUCCESS = ["Successfully query the radio status\n",
                 "BluetoothQueryUARTRadioStatus() success.\r\n"]
QUERY_FAILED = ["Failed to query the radio status\n", "return ERROR_ACCESS_DENIED.\r\n"]
SWITCH_FAILED = ["Failed to send IOCTL_BUSENUM_SET_RADIO_ONOFF_VENDOR_SPECFIC.\n",
                 "the end, return ERROR_ACCESS_DENIED\r\n"]
NO_CHANNEL = ["In Function EnumBusDevice() Failed to SetupDiEnumDeviceInterfaces: "
              "with Win32 error code: 259\n",
              re.compile(r"In Function OpenBusHandle\(\) Failed to obtain file handle to device: "
                         r"with Win32 error code: \d+\n")]
NO_CHANNEL_QUERY = [re.compile(r"Failed to obtain file handle to device: .* "
                               r"with Win32 error code: \d+\n", re.S),
                    "return ERROR_ACCESS_DENIED.\r\n"]
NO_CHANNEL_SWITCH = ["the end, return ERROR_ACCESS_DENIED\r\n"]


def enter_switch(value):
    return f"Enter Function BluetoothEnableRadio(BOOL {value})\r\n"


def opened(instance):
    return ("In Function OpenBusInterface() the DevicePaht is: \\\\?\\root#vantrel_test#"
            f"{instance.lower()}#{{3f6c1b92-7d40-4e8a-a5c3-9b2e0d71f846}}\n")


def switched(value):
    return [f"Successfully send IOCTL_BUSENUM_SET_RADIO_ONOFF_VENDOR_SPECFIC: {value}\n",
            "BluetoothEnableUARTRadio() success.\r\n"]


def answered(state):
    return [*QUERY_SUCCESS, f"*pfEnabled = {state}.\r\n", "return ERROR_SUCCESS.\r\n"]


def manufacturer(text):
    if text is None:
        return re.compile(r"The Manufacturer of this bt device is .*!\n", re.S)
    return f"The Manufacturer of this bt device is {text}!\n"


def assert_run(run, code, debugger, output):
    assert run.code == code, run
    assert lines_match(run.debugger, debugger), run
    assert run.output == output, run


def driver_byte(host):
    """The radio byte as the driver holds it, asked without the library."""
    run = host.run_plain("driver-status")
    assert run.code == 0, run
    match = re.fullmatch(r"The bus driver answers (\d+)\.", run.output[0])
    assert match, run
    return int(match.group(1))


def test_switch_and_query_round_trip(devices, host):
    bus = devices.add_bus()

    assert_run(host.run("status"), ERROR_SUCCESS,
               [ENTER_QUERY, *BUS_FOUND, opened(bus), *answered("FALSE")], ["Radio is off."])

    on = host.run("on")
    assert_run(on, ERROR_SUCCESS, [enter_switch(1), *BUS_FOUND, opened(bus), *switched(1)],
               ["Radio switched on."])
    # A successful switch holds its caller for a further second.
    assert on.seconds >= 1.0, on
    assert driver_byte(host) == 1

    assert_run(host.run("status"), ERROR_SUCCESS,
               [ENTER_QUERY, *BUS_FOUND, opened(bus), *answered("TRUE")], ["Radio is on."])

    assert_run(host.run("off"), ERROR_SUCCESS,
               [enter_switch(0), *BUS_FOUND, opened(bus), *switched(0)], ["Radio switched off."])
    assert driver_byte(host) == 0

    assert_run(host.run("status"), ERROR_SUCCESS,
               [ENTER_QUERY, *BUS_FOUND, opened(bus), *answered("FALSE")], ["Radio is off."])


@pytest.mark.parametrize("command, value", [("on", 1), ("off", 0)])
def test_a_failed_switch_is_denied_and_changes_nothing(devices, host, command, value):
    bus = devices.add_bus()
    # The radio starts in the state opposite to the one asked for, so a change would show.
    if value == 0:
        assert host.run_plain("on").code == ERROR_SUCCESS
    devices.set(bus, "fail-switch", 1)

    assert_run(host.run(command), ERROR_ACCESS_DENIED,
               [enter_switch(value), *BUS_FOUND, opened(bus), *SWITCH_FAILED], [DENIED])
    assert driver_byte(host) == 1 - value


# The host presets the BOOL with a pattern and fails (13) if the library stores anything but
# TRUE or FALSE on success, or touches it at all on failure; so the exit codes below also prove
# what the BOOL held.
@pytest.mark.parametrize("switch, value, code, tail, output", [
    pytest.param("fail-query", 1, ERROR_ACCESS_DENIED, QUERY_FAILED, [DENIED],
                 id="driver-fails-the-query"),
    pytest.param("query-without-byte", 1, ERROR_SUCCESS, answered("FALSE"), ["Radio is off."],
                 id="success-without-the-byte-reads-as-off"),
    pytest.param("answer-byte", 0xFF, ERROR_SUCCESS, answered("TRUE"), ["Radio is on."],
                 id="byte-0xFF-is-stored-as-TRUE"),
    pytest.param("answer-byte", 0x02, ERROR_SUCCESS, answered("TRUE"), ["Radio is on."],
                 id="byte-2-is-stored-as-TRUE"),
])
def test_query_answers(devices, host, switch, value, code, tail, output):
    bus = devices.add_bus()
    # On, so that a query that leaves the byte alone cannot pass for one that read the driver.
    assert host.run_plain("on").code == ERROR_SUCCESS
    devices.set(bus, switch, value)

    assert_run(host.run("status"), code, [ENTER_QUERY, *BUS_FOUND, opened(bus), *tail], output)


def radio_lines(maker, matches):
    lines = [*STATUS, manufacturer(maker)]
    return lines if matches else [*lines, MEMBER_INDEX]


# Radios to set up, by manufacturer (None: a radio without one), and
# what the device check then makes of them. A denied call never reaches the driver.
DEVICE_CASES = [
    pytest.param([], [RADIOS],
                 ["The BT device status is BT_DEVICE_NULL.\r\n"], id="no-device"),
    pytest.param([OTHER_MAKER], [RADIOS, *radio_lines(OTHER_MAKER, False)],
                 ["The BT device doesn't belong to Vantrel Co.\r\n"], id="other-makers-radio"),
    pytest.param([None], [RADIOS, *radio_lines(None, False)],
                 ["The BT device doesn't belong to Vantrel Co.\r\n"], id="radio-without-maker"),
    pytest.param(["Vantrel Communications "],
                 [RADIOS, *radio_lines("Vantrel Communications ", False)],
                 ["The BT device doesn't belong to Vantrel Co.\r\n"], id="maker-name-with-blank"),
]


@pytest.mark.parametrize("command, enter", [("status", ENTER_QUERY), ("on", enter_switch(1))])
@pytest.mark.parametrize("makers, check, denial", DEVICE_CASES)
def test_without_a_usable_device_the_driver_is_never_asked(devices, host, command, enter, makers,
                                                           check, denial):
    for maker in makers:
        devices.add_radio(maker)

    assert_run(host.run(command), ERROR_ACCESS_DENIED, [enter, *check, *denial], [DENIED])


@pytest.mark.parametrize("command, enter, tail", [
    ("status", ENTER_QUERY, NO_CHANNEL_QUERY),
    ("on", enter_switch(1), NO_CHANNEL_SWITCH),
])
def test_makers_radio_without_a_bus_device_passes_the_check_but_has_no_channel(
        devices, host, command, enter, tail):
    maker = "vANTREL cOMMUNICATIONS"
    devices.add_radio(maker)

    assert_run(host.run(command), ERROR_ACCESS_DENIED,
               [enter, RADIOS, *radio_lines(maker, True), *NO_CHANNEL, *tail], [DENIED])


def test_a_bus_device_qualifies_without_looking_at_radios(devices, host):
    devices.add_radio(OTHER_MAKER)
    bus = devices.add_bus()

    assert_run(host.run("status"), ERROR_SUCCESS,
               [ENTER_QUERY, *BUS_FOUND, opened(bus), *answered("FALSE")], ["Radio is off."])


def test_makers_radio_after_another_makers_qualifies(devices, host):
    devices.add_radio(OTHER_MAKER)
    devices.add_radio("Vantrel Communications")

    run = host.run("status")

    assert run.code == ERROR_ACCESS_DENIED, run
    # The set's order is the platform's; whichever radio comes first, the maker's one ends the
    # walk and the call goes on to the (missing) channel.
    assert run.debugger[:2] == [ENTER_QUERY, RADIOS], run
    assert lines_match(run.debugger[-4:], [*NO_CHANNEL, *NO_CHANNEL_QUERY]), run
    assert manufacturer("Vantrel Communications") in run.debugger, run
    assert "The BT device doesn't belong to Vantrel Co.\r\n" not in run.debugger, run


def test_exports_are_exactly_the_two_by_name_and_ordinal(host):
    run = host.run_plain("exports")

    assert run.code == ERROR_SUCCESS, run
    assert run.output == EXPORTS_LISTING, run


def test_host_loads_the_library_only_from_its_own_folder(wine, radio_tools, tmp_path):
    # A library in the working folder and on the search path must not be taken.
    decoy = tmp_path / "decoy"
    decoy.mkdir()
    (decoy / "radiogate.dll").write_bytes(radio_tools["library"].read_bytes())
    alone = Host(wine, tmp_path / "alone", radio_tools["radio"], None, radio_tools["capture"])

    run = alone.run_plain("status", cwd=decoy, env={"WINEPATH": wine.to_windows(decoy)})

    assert run.code == ERROR_MOD_NOT_FOUND, run
    assert "radiogate.dll: error 126" in run.stderr, run


def test_threads_get_consistent_answers_and_leave_no_handle(devices, host):
    devices.add_bus()

    run = host.run_plain("threads")

    assert run.code == ERROR_SUCCESS, run
    assert run.output[:2] == ["Queries: 400, failed: 0, out of range: 0.",
                              "Switches: 4, failed: 0."], run
    handles = re.fullmatch(r"Handles: (\d+) before, (\d+) after\.", run.output[2])
    assert handles and handles.group(1) == handles.group(2) and int(handles.group(1)) > 0, run


def test_benchmark_measures_the_library_against_the_platform(devices, host):
    devices.add_bus()

    run = host.run_plain("benchmark", "60")

    print("\n".join(run.output))
    assert run.code == ERROR_SUCCESS, run
    assert run.output[0] == "Calls: 60 of each, interleaved.", run
    # Timings depend on the machine's load: the figures are reported, not held to a bound.
    ratios = [re.fullmatch(r"Ratio: (\d+\.\d{3})", line) for line in run.output]
    ratio = [match for match in ratios if match]
    assert len(ratio) == 1 and float(ratio[0].group(1)) > 0, run
