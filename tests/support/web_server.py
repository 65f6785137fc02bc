#!/usr/bin/python3
"""web_server.py http|tls|silent HOST PORT [CERT]: serves the current folder, the same behind
TLS with CERT (certificate and key), or accepts and never answers. Prints "PORT <n>" once it
listens (PORT 0: any free port)."""
import http.server
import socket
import ssl
import sys

mode, host, port = sys.argv[1], sys.argv[2], int(sys.argv[3])
family = socket.AF_INET6 if ":" in host else socket.AF_INET

if mode == "silent":
    listener = socket.socket(family, socket.SOCK_STREAM)
    listener.bind((host, port))
    listener.listen(64)
    print("PORT", listener.getsockname()[1], flush=True)
    held = []
    while True:
        held.append(listener.accept()[0])

class Server(http.server.ThreadingHTTPServer):
    address_family = family

server = Server((host, port), http.server.SimpleHTTPRequestHandler)
if mode == "tls":
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[4])
    # The handshake runs in the thread that serves the connection, not in accept().
    server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
print("PORT", server.server_address[1], flush=True)
server.serve_forever()
