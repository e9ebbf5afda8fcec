#!/usr/bin/env python3
"""The language server as an editor runs it: the real binary over pipes, a burst of edits and
requests while diagnostics are being published from the checker's thread. Every frame must come
out whole and every request must get exactly one reply.

usage: lsp_burst.py TARNWICK_CONFIG EXAMPLES_DIR [SESSIONS]
"""
import json
import os
import subprocess
import sys
import threading
import time

URI = "file:///work/burst.yaml"


def frame(message):
    body = json.dumps(message).encode()
    return b"Content-Length: %d\r\n\r\n%s" % (len(body), body)


def parse_frames(data):
    """Every message of the output, or an error naming the first byte that is out of step."""
    messages = []
    at = 0
    while at < len(data):
        end = data.find(b"\r\n\r\n", at)
        if end < 0:
            raise ValueError("output ends inside a header at byte %d" % at)
        header = data[at:end]
        if not header.startswith(b"Content-Length: ") or b"\r\n" in header:
            raise ValueError("bad header at byte %d: %r" % (at, header[:80]))
        length = int(header[len(b"Content-Length: "):])
        body = data[end + 4:end + 4 + length]
        if len(body) != length:
            raise ValueError("output ends inside a body at byte %d" % end)
        try:
            messages.append(json.loads(body))
        except ValueError as e:
            raise ValueError("body at byte %d is not JSON (%s): %r" % (end + 4, e, body[:80]))
        at = end + 4 + length
    return messages


def session(tool, text, rounds):
    proc = subprocess.Popen([tool, "lsp"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL)
    out = bytearray()
    reader = threading.Thread(target=lambda: out.extend(proc.stdout.read()))
    reader.start()
    ids = []

    def send(message):
        proc.stdin.write(frame(message))
        proc.stdin.flush()

    def request(method, params):
        ids.append(len(ids) + 1)
        send({"jsonrpc": "2.0", "id": ids[-1], "method": method, "params": params})

    request("initialize", {"capabilities": {}, "initializationOptions": {}})
    send({"jsonrpc": "2.0", "method": "textDocument/didOpen",
          "params": {"textDocument": {"uri": URI, "languageId": "yaml", "version": 1,
                                      "text": text}}})
    doc = {"textDocument": {"uri": URI}}
    version = 1
    for r in range(rounds):
        version += 1
        # Each version differs, so each check publishes anew.
        send({"jsonrpc": "2.0", "method": "textDocument/didChange",
              "params": {"textDocument": {"uri": URI, "version": version},
                         "contentChanges": [{"text": text + "\n# round %d\n" % r}]}})
        # Small requests keep the main thread reading while the checker publishes.
        deadline = time.monotonic() + 0.08
        while time.monotonic() < deadline:
            request("textDocument/hover", dict(doc, position={"line": 1, "character": 2}))
            request("textDocument/documentSymbol", doc)
    request("shutdown", None)
    send({"jsonrpc": "2.0", "method": "exit"})
    proc.stdin.close()
    status = proc.wait(timeout=60)
    reader.join()
    messages = parse_frames(bytes(out))
    replies = [m["id"] for m in messages if "id" in m]
    if sorted(replies) != ids:
        missing = sorted(set(ids) - set(replies))
        raise ValueError("%d requests, %d replies; missing %s" % (len(ids), len(replies),
                                                                  missing[:10]))
    published = sum(1 for m in messages if m.get("method") == "textDocument/publishDiagnostics")
    if published == 0:
        raise ValueError("no diagnostics were published during the burst")
    if status != 0:
        raise ValueError("exit status %d after shutdown" % status)
    return len(ids), published


def main():
    tool, examples = sys.argv[1], sys.argv[2]
    sessions = int(sys.argv[3]) if len(sys.argv) > 3 else 6
    with open(os.path.join(examples, "invalid.yaml")) as f:
        text = f.read()  # many faults: large diagnostics payloads
    broken = 0
    for n in range(sessions):
        try:
            requests, published = session(tool, text, rounds=8)
            print("session %d: %d replies, %d publications, frames intact" %
                  (n, requests, published))
        except ValueError as e:
            broken += 1
            print("session %d: %s" % (n, e))
    if broken:
        print("%d of %d sessions broke" % (broken, sessions))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
