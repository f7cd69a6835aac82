#!/usr/bin/env python3
"""Keeps the test suites on their own loopback subnets.

Usage: check_subnets.py SOURCE_DIR

Fails (exit 1, one line per fault) when
  - a constant of tests/support/TestSubnets.h is missing from its kSubnetClaims, or listed twice;
  - two suites claim one subnet, or a subnet lies outside 1-254;
  - a test file writes a subnet of its own: a 127.0.N. address literal (N > 0), "...Subnet = N", or a
    number handed straight to a helper that takes a subnet (gatewayAddress(41), setUpProgram(170), ...).
127.0.0.0/24 is no test subnet (HTTP services listen on 127.0.0.1), so 127.0.0.x is always allowed.
Addresses that are only text to a test (parsed, judged, typed into a control, never bound or sent to)
are listed in TEXT_ONLY below with the reason.
"""
import pathlib
import re
import sys

TABLE = "tests/support/TestSubnets.h"

# path -> {N: why the 127.0.N. literals of that file are never bound or sent to}
TEXT_ONLY = {
    "tests/core/protocol/TransactTest.cpp": {21: "addresses the channel only judges or refuses as malformed"},
    "tests/core/maintenance/ResultLinesTest.cpp": {130: "an address turned into its broadcast text", 255: "the same"},
    "tests/core/maintenance/GatewayRepliesTest.cpp": {1: "reply sources counted as text"},
    "tests/gui/maintenance/ResetPageTest.cpp": {1: "typed text", 3: "typed text", 5: "typed text",
                                                175: "typed text on the suite's own kRestore"},
    "tests/gui/diagnosis/AddressEntryTest.cpp": {232: "typed text on the suite's own kAddressEntry",
                                                 256: "a part the entry refuses"},
    "tests/core/app/LoopbackGuardTest.cpp": {5: "an address the guard only judges"},
    "tests/sim/OptionsTest.cpp": {51: "a command line that is only parsed"},
}

# Helpers whose first argument is a subnet number.
SUBNET_TAKERS = (
    r"gatewayAddress|subnet|writeSettings|setUpProgram|useSettings|UseSettings|prepare|ChannelFixture|DiagnosisRig|"
    r"ProgramFixture>?|Gateways"
)
PATTERNS = [
    (re.compile(r"\b127\.0\.([1-9]\d{0,2})\b"), "address literal on a subnet"),
    (re.compile(r"subnet\w*\s*=\s*(\d+)", re.IGNORECASE), "subnet number written here"),
    (re.compile(r"\b(?:" + SUBNET_TAKERS + r")\s*\(\s*(\d+)\s*[,)]"), "subnet number handed to a helper"),
    (re.compile(r"\bRunningSim\s+\w+\s*\(\s*(\d+)\s*[,)]"), "subnet number handed to a simulator"),
]


def read_table(root):
    text = (root / TABLE).read_text(encoding="utf-8")
    faults = []
    constants = {}  # "ns::kName" -> N
    namespace = None
    for line in text.splitlines():
        m = re.match(r"\s*namespace (\w+) \{", line)
        if m and m.group(1) != "orva":
            namespace = m.group(1)
        m = re.match(r"\s*inline constexpr int (k\w+) = (\d+);", line)
        if m:
            constants[f"{namespace}::{m.group(1)}"] = int(m.group(2))
    claims = []  # (suite, what, N)
    body = text[text.index("kSubnetClaims[] = {") :]
    body = body[: body.index("};")]
    for suite, ref in re.findall(r'\{"(\w+)",\s*([\w:]+)\}', body):
        if ref.isdigit():
            claims.append((suite, ref, int(ref)))
        elif ref in constants:
            claims.append((suite, ref, constants[ref]))
        else:
            faults.append(f"{TABLE}: kSubnetClaims names {ref}, which is not defined above it")
    listed = [what for _, what, _ in claims]
    for name in constants:
        if listed.count(name) != 1:
            faults.append(f"{TABLE}: {name} is listed {listed.count(name)} times in kSubnetClaims (must be once)")
    owner = {}
    for suite, what, n in claims:
        if not 1 <= n <= 254:
            faults.append(f"{TABLE}: {what} = {n} is no subnet (1-254)")
        if n in owner and owner[n][0] != suite:
            faults.append(f"{TABLE}: subnet {n} is claimed by {owner[n][0]} ({owner[n][1]}) and {suite} ({what})")
        owner.setdefault(n, (suite, what))
    return faults


def scan_tests(root):
    faults = []
    for path in sorted((root / "tests").rglob("*")):
        if path.suffix not in (".cpp", ".h", ".hpp", ".py") or not path.is_file():
            continue
        rel = path.relative_to(root).as_posix()
        if rel in (TABLE, "tests/support/check_subnets.py"):
            continue
        allowed = TEXT_ONLY.get(rel, {})
        for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
            for pattern, what in PATTERNS:
                for m in pattern.finditer(line):
                    n = int(m.group(1))
                    if n == 0 or (what.startswith("address") and n in allowed):  # 0: not set yet
                        continue
                    faults.append(f"{rel}:{number}: {what} ({m.group(0)}): take it from {TABLE}")
    return faults


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 64
    root = pathlib.Path(sys.argv[1])
    faults = read_table(root) + scan_tests(root)
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} subnet fault(s)")
        return 1
    print("every suite keeps to its own subnets")
    return 0


if __name__ == "__main__":
    sys.exit(main())
