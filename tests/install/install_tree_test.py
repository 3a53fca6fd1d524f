#!/usr/bin/env python3
"""Installs the build into a scratch root (cmake --install with DESTDIR) and
checks what an installation holds: everything under one folder, the image
files beside the programs, links in the system's folders that point into it,
desktop entries, icons and the manual page; then runs the installed command
line, which must find its image files beside itself.

usage: install_tree_test.py BUILD_DIR PREFIX "GUI;PROGRAMS"
"""
import os
import subprocess
import sys
import tempfile

failures = []


def check(condition, text):
    if not condition:
        failures.append(text)
    return condition


def desktop_entry(path):
    keys = {}
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    check(lines and lines[0] == "[Desktop Entry]", f"{path}: no [Desktop Entry] group first")
    for line in lines[1:]:
        if line and not line.startswith("#"):
            name, _, value = line.partition("=")
            keys[name] = value
    return keys


def main():
    build, prefix = sys.argv[1], sys.argv[2]
    gui = [p for p in sys.argv[3].split(";") if p]
    links = "/usr/local"
    # Installed straight into the link folder, there is nothing to link.
    linked = prefix != links
    with tempfile.TemporaryDirectory(prefix="vantrel-install-") as root:
        env = dict(os.environ, DESTDIR=root)
        env.pop("VANTREL_LINK_PREFIX", None)
        done = subprocess.run(["cmake", "--install", build], env=env, capture_output=True, text=True)
        if not check(done.returncode == 0, f"cmake --install failed:\n{done.stdout}{done.stderr}"):
            return report()
        staged = root + prefix
        programs = ["vantrel-cli", "vantrel-simradio"] + gui
        for program in programs:
            path = f"{staged}/bin/{program}"
            check(os.access(path, os.X_OK), f"{path} is not an installed program")
            link = f"{root}{links}/bin/{program}"
            check(not linked or (os.path.islink(link) and os.readlink(link) == f"{prefix}/bin/{program}"),
                  f"{link} does not point to {prefix}/bin/{program}")
        names = os.listdir(f"{staged}/bin")
        for wanted in ("torva5t.0", "tor5t.mot", "bt19.mot", "bt38.mot", "bt115.mot", "mendkit.patch"):
            check(wanted in names, f"the program folder lacks {wanted}")
        check(sum(n.endswith(".mot") for n in names) > 4, "no EEPROM data files in the program folder")

        # Everything else stays under the prefix, but for the links.
        for folder, _, files in os.walk(root):
            for name in files:
                path = os.path.join(folder, name)[len(root):]
                check(path.startswith(prefix + "/") or (path.startswith(links + "/") and
                                                        os.path.islink(root + path)),
                      f"{path} is outside {prefix} and not a link")

        for program in gui:
            entry = desktop_entry(f"{staged}/share/applications/{program}.desktop")
            check(entry.get("Exec") == f"{prefix}/bin/{program}", f"{program}.desktop: Exec {entry.get('Exec')}")
            check(entry.get("Icon") == program and entry.get("Type") == "Application", f"{program}.desktop: {entry}")
            check(os.path.isfile(f"{staged}/share/icons/hicolor/scalable/apps/{program}.svg"), f"no icon for {program}")
            check(not linked or os.path.islink(f"{root}{links}/share/applications/{program}.desktop"),
                  f"no link to {program}.desktop")
        check(os.path.isfile(f"{staged}/share/man/man1/vantrel-cli.1"), "no manual page")
        check(not linked or os.path.islink(f"{root}{links}/share/man/man1/vantrel-cli.1"), "no link to the manual page")
        with open(f"{staged}/share/man/man1/vantrel-cli.1", encoding="utf-8") as f:
            page = f.read()
        check("@" not in page and f"{prefix}/bin/" in page, "the manual page was not filled in")
        check(os.path.isfile(f"{staged}/share/doc/vantrel/events.schema.json"), "no events schema")

        # The installed program finds its image files beside itself.
        cli = f"{staged}/bin/vantrel-cli"
        done = subprocess.run([cli, "--version"], capture_output=True, text=True)
        check(done.returncode == 0 and done.stdout.startswith("vantrel-cli R"), f"--version: {done.stdout}")
        done = subprocess.run([cli, "--data-dir", f"{root}/data", "--sim-profile", "phase12-r2", "--yes", "upgrade"],
                              capture_output=True, text=True)
        check(done.returncode == 0 and "Upgrade Successfully done!" in done.stdout,
              f"the installed program's upgrade: {done.returncode}\n{done.stdout}{done.stderr}")
    return report()


def report():
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
