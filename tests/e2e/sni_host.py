#!/usr/bin/python3
"""A StatusNotifierWatcher and host on the session bus, as a desktop's tray runs them, for the
end-to-end tests; and a client that clicks and inspects the registered item as a host would.

  sni_host.py serve LOG [ICON_DIR]   run the watcher and host; log each event as a JSON line
                                     ($SNI_DROP: let that many registrations go again at once)
  sni_host.py props                  print the first registered item's properties as JSON
  sni_host.py layout                 print its menu's layout as JSON
  sni_host.py labels | about-to-show print the labels (a submenu's indented) | call AboutToShow
  sni_host.py click LABEL...         send "clicked" to the item with that label (in LABEL's submenu)
  sni_host.py activate X Y | secondary X Y | context X Y   call the item's method
"""
import asyncio
import json
import os
import struct
import sys
import zlib

from dbus_next import BusType, Message, MessageType, Variant
from dbus_next.aio import MessageBus
from dbus_next.service import ServiceInterface, dbus_property, method, signal, PropertyAccess

WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_PATH = "/StatusNotifierWatcher"
ITEM_IFACE = "org.kde.StatusNotifierItem"
MENU_IFACE = "com.canonical.dbusmenu"
ITEM_PROPERTIES = ["Id", "Title", "Category", "Status", "IconName", "IconThemePath", "IconPixmap",
                   "ToolTip", "ItemIsMenu", "Menu", "WindowId"]


def plain(value):
    """dbus_next values as JSON-friendly data."""
    if isinstance(value, Variant):
        return plain(value.value)
    if isinstance(value, (list, tuple)):
        return [plain(v) for v in value]
    if isinstance(value, dict):
        return {k: plain(v) for k, v in value.items()}
    if isinstance(value, bytes):
        return len(value)
    return value


def png(width, height, argb):
    """A PNG of network-order ARGB32 pixels, for a person to look at."""
    rows = b""
    for y in range(height):
        row = bytearray(b"\0")
        for x in range(width):
            a, r, g, b = argb[(y * width + x) * 4:(y * width + x) * 4 + 4]
            row += bytes((r, g, b, a))
        rows += bytes(row)
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def contrast(width, height, argb):
    """How much of an icon is opaque and dark, and opaque and light: an icon that reads on a light
    and on a dark bar needs some of each."""
    dark = light = 0
    for i in range(width * height):
        a, r, g, b = argb[i * 4:i * 4 + 4]
        if a < 200:
            continue
        luma = 0.2126 * r + 0.7152 * g + 0.0722 * b
        dark += luma < 80
        light += luma > 180
    total = width * height
    return {"size": width, "dark": round(dark / total, 3), "light": round(light / total, 3)}


async def call(bus, service, path, interface, member, signature="", body=()):
    reply = await bus.call(Message(destination=service, path=path, interface=interface, member=member,
                                   signature=signature, body=list(body)))
    if reply.message_type == MessageType.ERROR:
        raise RuntimeError(f"{member}: {reply.error_name}: {reply.body}")
    return reply.body


async def item_properties(bus, service, path):
    props = {}
    for name in ITEM_PROPERTIES:
        try:
            (value,) = await call(bus, service, path, "org.freedesktop.DBus.Properties", "Get", "ss",
                                  (ITEM_IFACE, name))
            props[name] = value.value
        except RuntimeError as error:
            props[name] = f"error: {error}"
    return props


class Watcher(ServiceInterface):
    def __init__(self, bus, log, icon_dir):
        super().__init__(WATCHER)
        self.drop = int(os.environ.get("SNI_DROP", "0"))
        self.bus = bus
        self.log = log
        self.icon_dir = icon_dir
        self.items = []
        self.sender = None

    def write(self, **event):
        self.log.write(json.dumps(event) + "\n")
        self.log.flush()

    @method()
    def RegisterStatusNotifierItem(self, service: "s"):
        # A bus name, or an object path on the caller's own connection.
        if service.startswith("/"):
            name, path = self.sender, service
        else:
            name, path = service, "/StatusNotifierItem"
        entry = name + path
        if entry not in self.items:
            self.items.append(entry)
        self.StatusNotifierItemRegistered(entry)
        asyncio.get_event_loop().create_task(self.describe(name, path, "registered"))
        if self.drop > 0:
            self.drop -= 1
            asyncio.get_event_loop().create_task(self.let_go(entry))

    async def let_go(self, entry):  # as GNOME's extension does with an item it fails to read
        await asyncio.sleep(0.2)
        self.items.remove(entry)
        self.StatusNotifierItemUnregistered(entry)

    @method()
    def RegisterStatusNotifierHost(self, service: "s"):
        pass

    @dbus_property(access=PropertyAccess.READ)
    def RegisteredStatusNotifierItems(self) -> "as":
        return self.items

    @dbus_property(access=PropertyAccess.READ)
    def IsStatusNotifierHostRegistered(self) -> "b":
        return True

    @dbus_property(access=PropertyAccess.READ)
    def ProtocolVersion(self) -> "i":
        return 0

    @signal()
    def StatusNotifierItemRegistered(self, service) -> "s":
        return service

    @signal()
    def StatusNotifierItemUnregistered(self, service) -> "s":
        return service

    @signal()
    def StatusNotifierHostRegistered(self):
        pass

    async def describe(self, name, path, what):
        props = await item_properties(self.bus, name, path)
        icons = []
        for width, height, argb in props.get("IconPixmap") or []:
            icons.append(contrast(width, height, argb))
            if self.icon_dir:
                with open(os.path.join(self.icon_dir, f"sni-icon-{width}.png"), "wb") as out:
                    out.write(png(width, height, argb))
        props["IconPixmap"] = icons
        self.write(event=what, service=name, path=path, **{k: plain(v) for k, v in props.items()})

    def forget(self, name):
        for entry in [e for e in self.items if e.startswith(name + "/")]:
            self.items.remove(entry)
            self.StatusNotifierItemUnregistered(entry)
            self.write(event="unregistered", service=entry)


async def serve(log_path, icon_dir):
    bus = await MessageBus(bus_type=BusType.SESSION).connect()
    log = open(log_path, "a")
    watcher = Watcher(bus, log, icon_dir)

    # dbus_next does not hand the sender to a method: note it from the raw message first.
    def note_sender(message):
        if message.member == "RegisterStatusNotifierItem":
            watcher.sender = message.sender
        return None
    bus.add_message_handler(note_sender)
    bus.export(WATCHER_PATH, watcher)

    def on_signal(message):
        if message.message_type != MessageType.SIGNAL:
            return
        if message.member == "NameOwnerChanged" and message.body[2] == "":
            watcher.forget(message.body[0])
        elif message.interface == MENU_IFACE and message.member == "LayoutUpdated":
            watcher.write(event="LayoutUpdated", revision=message.body[0])
        elif message.interface == ITEM_IFACE and message.member.startswith("New"):
            for entry in watcher.items:
                name, path = entry.split("/", 1)
                asyncio.get_event_loop().create_task(watcher.describe(name, "/" + path, message.member))
    bus.add_message_handler(on_signal)
    await call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "AddMatch", "s",
               ("type='signal',interface='org.freedesktop.DBus',member='NameOwnerChanged'",))
    await call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "AddMatch", "s",
               (f"type='signal',interface='{ITEM_IFACE}'",))
    await call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "AddMatch", "s",
               (f"type='signal',interface='{MENU_IFACE}'",))
    await bus.request_name(f"org.kde.StatusNotifierHost-{os.getpid()}")
    await bus.request_name(WATCHER)
    watcher.write(event="watcher ready")
    await bus.wait_for_disconnect()


async def client(command, args):
    bus = await MessageBus(bus_type=BusType.SESSION).connect()
    (items,) = await call(bus, WATCHER, WATCHER_PATH, "org.freedesktop.DBus.Properties", "Get", "ss",
                          (WATCHER, "RegisteredStatusNotifierItems"))
    if not items.value:
        raise SystemExit("no item is registered")
    name, path = items.value[0].split("/", 1)
    path = "/" + path
    if command == "props":
        props = await item_properties(bus, name, path)
        props["IconPixmap"] = [[w, h] for w, h, _ in props["IconPixmap"]]
        print(json.dumps(plain(props)))
    elif command in ("layout", "labels", "click", "about-to-show"):
        (menu,) = await call(bus, name, path, "org.freedesktop.DBus.Properties", "Get", "ss", (ITEM_IFACE, "Menu"))
        revision, layout = await call(bus, name, menu.value, MENU_IFACE, "GetLayout", "iias", (0, -1, []))
        label = lambda node: node[1].get("label", Variant("s", "")).value
        if command == "layout":
            print(json.dumps({"revision": revision, "layout": plain(layout)}))
        elif command == "labels":
            def show(node, indent):
                for child in (c.value for c in node[2] if label(c.value)):
                    print(indent + label(child))
                    show(child, indent + "  ")
            show(layout, "")
        elif command == "about-to-show":
            print((await call(bus, name, menu.value, MENU_IFACE, "AboutToShow", "i", (0,)))[0])
        else:
            node = layout
            for wanted in args:
                found = [child.value for child in node[2] if label(child.value) == wanted]
                if not found:
                    raise SystemExit(f"no menu item is labelled {wanted!r}")
                node = found[0]
            await call(bus, name, menu.value, MENU_IFACE, "Event", "isvu", (node[0], "clicked", Variant("s", ""), 0))
    else:
        member = {"activate": "Activate", "secondary": "SecondaryActivate", "context": "ContextMenu"}[command]
        await call(bus, name, path, ITEM_IFACE, member, "ii", (int(args[0]), int(args[1])))
    bus.disconnect()


def main():
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    if sys.argv[1] == "serve":
        asyncio.run(serve(sys.argv[2], sys.argv[3] if len(sys.argv) > 3 else None))
    else:
        asyncio.run(client(sys.argv[1], sys.argv[2:]))


if __name__ == "__main__":
    main()
