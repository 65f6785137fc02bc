#!/usr/bin/python3
"""file_manager_standin.py LOG: stands in for the desktop's file manager on the session bus,
appending the URIs of every ShowFolders call to LOG, one a line. Prints "ready" once it owns
org.freedesktop.FileManager1."""
import asyncio
import sys

from dbus_next.aio import MessageBus
from dbus_next.service import ServiceInterface, method


class FileManager(ServiceInterface):
    def __init__(self, log):
        super().__init__("org.freedesktop.FileManager1")
        self.log = log

    @method()
    def ShowFolders(self, uris: "as", startup_id: "s"):
        # Written once the answer is on its way: a test that stops this stand-in as soon as
        # it sees the log must not take the answer with it.
        asyncio.get_running_loop().call_soon(self.write, uris)

    def write(self, uris):
        with open(self.log, "a") as out:
            out.writelines(uri + "\n" for uri in uris)


async def main():
    bus = await MessageBus().connect()
    bus.export("/org/freedesktop/FileManager1", FileManager(sys.argv[1]))
    await bus.request_name("org.freedesktop.FileManager1")
    print("ready", flush=True)
    await asyncio.Future()


asyncio.run(main())
