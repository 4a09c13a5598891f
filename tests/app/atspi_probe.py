#!/usr/bin/python3
# Reads a process's windows over the accessibility bus (AT-SPI), as a screen reader does.
#
#   atspi_probe.py dump PID            one JSON line per object: role, name, description, states,
#                                      key bindings of its actions, its text
#   atspi_probe.py await PID PREFIX    prints "listening", then "announced" once an object's name
#                                      changes to a text starting with PREFIX (what a screen reader
#                                      reads out); exits 1 after 20 s without it
import json
import os
import sys
import time

import pyatspi
from gi.repository import GLib


def application(pid):
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            if app is not None and app.get_process_id() == pid:
                return app
        time.sleep(0.2)
    sys.exit("process %d is not on the accessibility bus" % pid)


def facts(node):
    fact = {"role": node.getRoleName(), "name": node.name, "description": node.description,
            "states": [pyatspi.stateToString(state) for state in node.getState().getStates()]}
    try:
        action = node.queryAction()
        fact["keys"] = [action.getKeyBinding(index) for index in range(action.nActions)]
    except NotImplementedError:
        pass
    try:
        fact["text"] = node.queryText().getText(0, -1)
    except NotImplementedError:
        pass
    return fact


def dump(node):
    print(json.dumps(facts(node)), flush=True)
    for child in node:
        dump(child)


def await_name(pid, prefix):
    application(pid)

    def changed(event):
        name = event.any_data if isinstance(event.any_data, str) else event.source.name
        if name and name.startswith(prefix):
            print("announced", flush=True)
            os._exit(0)

    pyatspi.Registry.registerEventListener(changed, "object:property-change:accessible-name")

    # The application learns of the listener through the registry; give it a moment to.
    GLib.timeout_add(500, lambda: print("listening", flush=True))
    GLib.timeout_add_seconds(20, pyatspi.Registry.stop)
    pyatspi.Registry.start()
    return 1


if __name__ == "__main__":
    command, pid = sys.argv[1], int(sys.argv[2])
    if command == "dump":  # its argument is empty
        dump(application(pid))
    else:
        sys.exit(await_name(pid, sys.argv[3]))
