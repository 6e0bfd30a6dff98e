# Finding and running the spindle command.
import os
import shutil
import subprocess

import bpy

WHERE = "Preferences > Add-ons > Spindle Rig"


class Failure(Exception):
    """A run that made no rig, told in one line."""


def find_spindle(setting):
    """The spindle command: the path set in the preferences, else the one on
    PATH, else where the release archives install it, else beside the add-on."""
    if setting:
        path = bpy.path.abspath(setting)
        if os.path.isfile(path):
            return path
        raise Failure("spindle is not at %s (the path set in %s)" % (path, WHERE))
    found = shutil.which("spindle")
    if found:
        return found
    program = "spindle.exe" if os.name == "nt" else "spindle"
    for folder in ("/usr/bin", "/usr/local/bin", os.path.dirname(os.path.abspath(__file__))):
        path = os.path.join(folder, program)
        if os.path.isfile(path):
            return path
    raise Failure("spindle was not found on PATH: install it, or set its path in " + WHERE)


def lines(data):
    """The non-blank lines of a program's output."""
    return [line.strip() for line in data.decode("utf-8", "replace").splitlines() if line.strip()]


def run(program, folder, arguments):
    """Runs spindle in the folder: its output lines and its notes (standard
    error), or Failure with what it said when it made no rig."""
    try:
        done = subprocess.run([program] + arguments, cwd=folder, capture_output=True,
                              creationflags=getattr(subprocess, "CREATE_NO_WINDOW", 0))
    except OSError as error:
        raise Failure("cannot run %s (%s)" % (program, error.strerror or error)) from None
    out, notes = lines(done.stdout), lines(done.stderr)
    if done.returncode != 0:
        said = " ".join(notes + out) or "exit status %d" % done.returncode
        raise Failure("spindle made no rig: " + said)
    return out, notes
