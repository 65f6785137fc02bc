#!/usr/bin/python3
"""file_manager_standin.py LOG: stands in for the desktop's file manager on the session bus,
appending the URIs of every ShowFolders call to LOG, one a line. Prints "ready" once it owns
org.freedesktop.FileManager1."""
import asyncio
import sys

from dbus_next import Message, MessageType
from dbus_next.aio import MessageBus


async def main():
    bus = await MessageBus().connect()
    tasks = set()

    async def answer(call):
        # The log is written only once the answer has left for the bus: a test that stops this
        # stand-in as soon as it sees the log must not take the answer with it.
        await bus.send(Message.new_method_return(call))
        with open(sys.argv[1], "a") as out:
            out.writelines(uri + "\n" for uri in call.body[0])

    def handle(message):
        if (message.message_type != MessageType.METHOD_CALL or message.member != "ShowFolders"
                or message.interface != "org.freedesktop.FileManager1"):
            return None
        task = asyncio.get_running_loop().create_task(answer(message))
        tasks.add(task)
        task.add_done_callback(tasks.discard)
        return True

    bus.add_message_handler(handle)
    await bus.request_name("org.freedesktop.FileManager1")
    print("ready", flush=True)
    await asyncio.Future()


asyncio.run(main())
