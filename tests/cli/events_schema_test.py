#!/usr/bin/env python3
"""Runs vantrel-cli with --events on the simulated radio and checks every line
against docs/events.schema.json (the subset of JSON Schema the schema uses:
$ref, oneOf, type, const, enum, minimum, properties, required,
additionalProperties), then what the lines say about each run.

usage: events_schema_test.py SCHEMA VANTREL_CLI BIN_DIR
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

TYPES = {
    "object": lambda v: isinstance(v, dict),
    "array": lambda v: isinstance(v, list),
    "string": lambda v: isinstance(v, str),
    "integer": lambda v: isinstance(v, int) and not isinstance(v, bool),
    "null": lambda v: v is None,
}
KNOWN = {"$schema", "$id", "$defs", "title", "description", "$ref", "oneOf", "type", "const", "enum",
         "minimum", "properties", "required", "additionalProperties"}


def errors(schema, value, root, where="$"):
    """The ways value breaks schema, as a list of texts (empty when it fits)."""
    unknown = set(schema) - KNOWN
    if unknown:
        raise ValueError(f"schema keyword(s) this validator does not know: {sorted(unknown)}")
    if "$ref" in schema:
        node = root
        for part in schema["$ref"].removeprefix("#/").split("/"):
            node = node[part]
        return errors(node, value, root, where)
    if "oneOf" in schema:
        fits = [s for s in schema["oneOf"] if not errors(s, value, root, where)]
        return [] if len(fits) == 1 else [f"{where}: fits {len(fits)} of the oneOf branches, not exactly one"]
    found = []
    if "type" in schema and not TYPES[schema["type"]](value):
        return [f"{where}: not of type {schema['type']}"]
    if "const" in schema and (value != schema["const"] or type(value) is not type(schema["const"])):
        found.append(f"{where}: not {schema['const']!r}")
    if "enum" in schema and not any(value == e and type(value) is type(e) for e in schema["enum"]):
        found.append(f"{where}: {value!r} not one of {schema['enum']}")
    if "minimum" in schema and isinstance(value, int) and value < schema["minimum"]:
        found.append(f"{where}: below {schema['minimum']}")
    if isinstance(value, dict):
        properties = schema.get("properties", {})
        for name in schema.get("required", []):
            if name not in value:
                found.append(f"{where}: missing {name}")
        for name, item in value.items():
            if name in properties:
                found += errors(properties[name], item, root, f"{where}.{name}")
            elif schema.get("additionalProperties", True) is False:
                found.append(f"{where}: unexpected field {name}")
    return found


class Check:
    def __init__(self):
        self.failures = []

    def that(self, condition, text):
        if not condition:
            self.failures.append(text)
        return condition


def run(cli, args, check, expect_status):
    done = subprocess.run([cli] + args, capture_output=True, timeout=120)
    check.that(done.returncode == expect_status,
               f"{' '.join(args)}: exit status {done.returncode}, expected {expect_status}\n"
               f"{done.stderr.decode(errors='replace')}")
    return done


def event_lines(schema, stream, check, what):
    """The events of one run, every line checked against the schema."""
    events = []
    for number, raw in enumerate(stream.splitlines(), 1):
        check.that(all(0x20 <= b < 0x7F for b in raw), f"{what} line {number}: bytes outside printable ASCII")
        try:
            event = json.loads(raw)
        except ValueError as e:
            check.that(False, f"{what} line {number} is not JSON: {e}: {raw[:120]!r}")
            continue
        for problem in errors(schema, event, schema):
            check.that(False, f"{what} line {number}: {problem}: {raw[:200]!r}")
        events.append(event)
    if check.that(len(events) >= 2, f"{what}: {len(events)} events"):
        check.that(events[0]["event"] == "start", f"{what}: the first event is not start")
        check.that(events[-1]["event"] == "result", f"{what}: the last event is not result")
        check.that(sum(e["event"] in ("start", "result") for e in events) == 2, f"{what}: start/result repeated")
    return events


def validator_refuses_what_it_should(schema, check):
    bad = [
        {"event": "progress"},
        {"event": "progress", "step": "open", "range": 3, "colour": "red"},
        {"event": "progress", "step": "sideways"},
        {"event": "question", "id": 20133, "kind": 4, "kindName": "warning-ok-cancel", "text": "", "answer": "maybe"},
        {"event": "result", "command": "info", "status": True, "outcome": "success"},
        {"event": "message", "id": -1, "kind": 1, "kindName": "error", "text": ""},
        {"event": "launch"},
    ]
    for value in bad:
        check.that(errors(schema, value, schema), f"the validator takes {value}")
    good = {"event": "progress", "step": "position", "position": 7}
    check.that(not errors(schema, good, schema), f"the validator refuses {good}")


def main():
    schema_path, cli, bin_dir = sys.argv[1:4]
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    check = Check()
    validator_refuses_what_it_should(schema, check)

    work = tempfile.mkdtemp(prefix="vantrel-events-")
    try:
        folder = os.path.join(work, "program")
        data = os.path.join(work, "data")
        os.makedirs(folder)
        for name in os.listdir(bin_dir):
            if name.endswith(".0"):
                shutil.copy(os.path.join(bin_dir, name), folder)
        run(cli, ["--folder", folder, "export", "all"], check, 0)
        base = ["--folder", folder, "--data-dir", data, "--sim-profile", "phase12-r2"]

        # A whole upgrade: every step, the bootstrap question answered OK, the backup, success.
        done = run(cli, base + ["--yes", "--events", "-", "upgrade"], check, 0)
        events = event_lines(schema, done.stdout, check, "upgrade")
        steps = {e["step"] for e in events if e["event"] == "progress"}
        check.that({"open", "range", "position", "text", "close", "hidebar"} <= steps, f"upgrade steps: {steps}")
        check.that(any(e["event"] == "question" and e["id"] == 20133 and e["answer"] == "ok" for e in events),
                   "upgrade: no bootstrap question answered ok")
        backups = [e["path"] for e in events if e["event"] == "backup"]
        check.that(len(backups) == 1 and os.path.isfile(backups[0]), f"upgrade: backups {backups}")
        check.that(any(e["event"] == "message" and e["id"] == 20154 for e in events), "upgrade: no success box")
        check.that(events[-1].get("status") == 0 and events[-1].get("command") == "upgrade", "upgrade: result")
        check.that(b"Upgrade Successfully done!" in done.stderr, "upgrade: the text did not go to standard error")

        # Nobody answers the bootstrap prompt: cancelled, and the answer says so.
        done = run(cli, base + ["--events", "-", "upgrade"], check, 3)
        events = event_lines(schema, done.stdout, check, "cancelled upgrade")
        check.that(any(e["event"] == "question" and e["answer"] == "cancel" for e in events), "no cancel answer")
        check.that(events[-1].get("outcome") == "cancelled", "cancelled upgrade: result")

        # The events to a file; standard output keeps the text.
        log = os.path.join(work, "info.jsonl")
        done = run(cli, ["--events", log, "info"], check, 0)
        with open(log, "rb") as f:
            events = event_lines(schema, f.read(), check, "info to a file")
        check.that(b"Model Number:" in done.stdout, "info to a file: no text on standard output")
        check.that(events[-1].get("data", {}).get("regionalId") == {"name": "North America", "value": 1},
                   "info to a file: region by name and number")

        # A radio that stops answering, a usage error.
        done = run(cli, ["--sim-fault", "silence@1", "--events", "-", "info"], check, 1)
        events = event_lines(schema, done.stdout, check, "silent radio")
        check.that(any(e["event"] == "message" and e["id"] == 20157 for e in events), "silent radio: no 20157")
        done = run(cli, ["--events", "-", "region", "set", "Mars"], check, 2)
        events = event_lines(schema, done.stdout, check, "usage error")
        check.that(events[-1].get("outcome") == "usage-error", "usage error: result")

        # Control sequences and 8-bit bytes from the radio: escaped in JSON and in text.
        done = run(cli, ["--sim-profile", "control-text", "--events", "-", "info", "--json"], check, 0)
        events = event_lines(schema, done.stdout, check, "control text")
        found = events[-1].get("data", {})
        check.that(found.get("modelNumber") == "\\x1B[2J\\x1B]0;X\\x07\\x9B", f"model number {found.get('modelNumber')!r}")
        check.that(found.get("serialNumber") == "742\\xE9QK\\x5C12", f"serial number {found.get('serialNumber')!r}")
        done = run(cli, ["--sim-profile", "control-text", "info"], check, 0)
        check.that(all(b == 0x0A or 0x20 <= b < 0x7F for b in done.stdout), "info text: raw bytes reached stdout")
    finally:
        shutil.rmtree(work, ignore_errors=True)

    for failure in check.failures:
        print("FAIL:", failure)
    print(f"{len(check.failures)} failure(s)")
    return 1 if check.failures else 0


if __name__ == "__main__":
    sys.exit(main())
