"""A real SMTP server for the tests: aiosmtpd on loopback, driven over stdin.

Run with Debian's /usr/bin/python3 (python3-aiosmtpd). Started by
tests/common/smtp_server.cpp; see smtp_server.h for what the tests use.

Listens on 127.0.0.1 with ports chosen by the system: a plain port (which
offers STARTTLS when a certificate is given) and, with a certificate, an
implicit-TLS port. When ready it prints one JSON line {"port": P, "tls_port": Q}.

Then it reads one JSON command per line on stdin and answers one JSON line:
  {"cmd": "configure", ...}  merge settings: require_starttls (bool),
                             auth ({"user", "password"} or null: login required),
                             eightbitmime (bool, default true), ehlo (bool, default true),
                             pipelining (bool, default true: PIPELINING in the EHLO reply)
  {"cmd": "fault", "command": C, "action": A, "after": N, "times": T,
   "address": ADDR, "reply": TEXT}
                             C: GREETING, EHLO, HELO, MAIL, RCPT, DATA, RSET, QUIT;
                             A: refuse (answer TEXT, default "550 5.7.1 Refused"),
                             drop (close the connection), stall (never answer),
                             delay (answer after "seconds"), flood (send 8 MiB of one
                             reply line without its end, then never answer);
                             the first N matching commands pass, then T of them
                             (-1: all) get the fault; ADDR limits MAIL/RCPT to one address
  {"cmd": "messages"}        the accepted messages: mail_from, mail_options, rcpt_tos,
                             data (base64 of the bytes after DATA, dots undone), tls, auth_user
  {"cmd": "log"}             every command seen, in order ("EHLO name", "MAIL FROM:<a>",
                             "STALLED DATA", "DROPPED RCPT", ...)
  {"cmd": "clear"}           forget messages, log and faults; close stalled connections
End of input stops the server.
"""

import argparse
import asyncio
import base64
import json
import logging
import ssl
import sys
import threading

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

HOSTNAME = "aiosmtpd.test"


class State:
    def __init__(self):
        self.reset_all()

    def reset_all(self):
        self.config = {"require_starttls": False, "auth": None, "eightbitmime": True, "ehlo": True,
                       "pipelining": True}
        self.clear()

    def clear(self):
        self.messages = []
        self.log = []
        self.faults = []
        self.seen = {}  # fault index -> matching commands seen


STATE = State()
STALLED = set()  # transports of stalled connections


async def apply_fault(server, command, address=None):
    """Returns a reply text to refuse with, or None to go on; drops or stalls."""
    for i, f in enumerate(STATE.faults):
        if f["command"] != command:
            continue
        if f.get("address") and (address or "").lower() != f["address"].lower():
            continue
        seen = STATE.seen.get(i, 0)
        STATE.seen[i] = seen + 1
        after = f.get("after", 0)
        times = f.get("times", -1)
        if seen < after or (times >= 0 and seen >= after + times):
            continue
        action = f["action"]
        if action == "refuse":
            return f.get("reply") or "550 5.7.1 Refused"
        if action == "drop":
            STATE.log.append("DROPPED " + command)
            server.transport.abort()
            await asyncio.Future()  # cancelled with the connection
        if action == "stall":
            STATE.log.append("STALLED " + command)
            STALLED.add(server.transport)
            await asyncio.Future()
        if action == "delay":
            await asyncio.sleep(f.get("seconds", 1.0))
            continue
        if action == "flood":
            # An endless reply line: megabytes without a line end, then silence.
            STATE.log.append("FLOODED " + command)
            STALLED.add(server.transport)
            chunk = b"250-" + b"x" * (1024 * 1024)
            for _ in range(8):
                server.transport.write(chunk)
                await asyncio.sleep(0)
            await asyncio.Future()
    return None


def is_tls(server, session):
    return session.ssl is not None or server.transport.get_extra_info("sslcontext") is not None


class Handler:
    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        STATE.log.append("EHLO " + hostname + (" (TLS)" if is_tls(server, session) else ""))
        refused = await apply_fault(server, "EHLO")
        if refused:
            return [refused]
        if not STATE.config["ehlo"]:
            return ["502 5.5.2 Command not implemented"]
        session.host_name = hostname
        if not STATE.config["eightbitmime"]:
            responses = [r for r in responses if "8BITMIME" not in r]
        if STATE.config["pipelining"]:
            # aiosmtpd reads commands in order from its stream but does not
            # say so by itself.
            responses = responses[:-1] + ["250-PIPELINING"] + responses[-1:]
        return responses

    async def handle_HELO(self, server, session, envelope, hostname):
        STATE.log.append("HELO " + hostname)
        refused = await apply_fault(server, "HELO")
        if refused:
            return refused
        session.host_name = hostname
        return "250 " + HOSTNAME

    async def handle_RSET(self, server, session, envelope):
        STATE.log.append("RSET")
        return await apply_fault(server, "RSET") or "250 OK"

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        STATE.log.append(" ".join(["MAIL FROM:<%s>" % address] + list(mail_options)))
        refused = await apply_fault(server, "MAIL", address)
        if refused:
            return refused
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        STATE.log.append("RCPT TO:<%s>" % address)
        refused = await apply_fault(server, "RCPT", address)
        if refused:
            return refused
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        STATE.log.append("DATA")
        refused = await apply_fault(server, "DATA")
        if refused:
            return refused
        auth = getattr(session, "auth_data", None)
        STATE.messages.append({
            "mail_from": envelope.mail_from,
            "mail_options": list(envelope.mail_options),
            "rcpt_tos": list(envelope.rcpt_tos),
            "data": base64.b64encode(envelope.original_content).decode("ascii"),
            "tls": is_tls(server, session),
            "auth_user": auth.login.decode("utf-8") if isinstance(auth, LoginPassword) else "",
        })
        return "250 2.0.0 Message accepted for delivery"

    async def handle_QUIT(self, server, session, envelope):
        STATE.log.append("QUIT")
        return await apply_fault(server, "QUIT") or "221 Bye"


def authenticator(server, session, envelope, mechanism, auth_data):
    wanted = STATE.config["auth"]
    ok = (wanted is not None and isinstance(auth_data, LoginPassword)
          and auth_data.login.decode("utf-8") == wanted["user"]
          and auth_data.password.decode("utf-8") == wanted["password"])
    STATE.log.append("AUTH %s %s %s" % (mechanism, auth_data.login.decode("utf-8", "replace")
                                          if isinstance(auth_data, LoginPassword) else "?",
                                          "ok" if ok else "refused"))
    return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)


class Silent(asyncio.Protocol):
    """A connection that never greets (a stalled greeting)."""

    def connection_made(self, transport):
        STATE.log.append("STALLED GREETING")
        STALLED.add(transport)


class Dropping(asyncio.Protocol):
    def connection_made(self, transport):
        STATE.log.append("DROPPED GREETING")
        transport.abort()


def greeting_fault():
    for i, f in enumerate(STATE.faults):
        if f["command"] != "GREETING":
            continue
        seen = STATE.seen.get(i, 0)
        STATE.seen[i] = seen + 1
        after, times = f.get("after", 0), f.get("times", -1)
        if seen < after or (times >= 0 and seen >= after + times):
            continue
        return f["action"]
    return None


def make_factory(tls_context, implicit):
    handler = Handler()

    def factory():
        STATE.log.append("CONNECT" + (" TLS" if implicit else ""))
        action = greeting_fault()
        if action == "stall":
            return Silent()
        if action == "drop":
            return Dropping()
        auth = STATE.config["auth"]
        return SMTP(handler, hostname=HOSTNAME, ident="aiosmtpd test server",
                    tls_context=None if implicit else tls_context,
                    require_starttls=bool(STATE.config["require_starttls"]) and not implicit,
                    authenticator=authenticator, auth_required=auth is not None,
                    auth_require_tls=not implicit, decode_data=False)
    return factory


async def command(cmd):
    name = cmd.get("cmd")
    if name == "configure":
        for key in ("require_starttls", "auth", "eightbitmime", "ehlo", "pipelining"):
            if key in cmd:
                STATE.config[key] = cmd[key]
        return {"ok": True}
    if name == "fault":
        STATE.faults.append({k: cmd[k] for k in
                             ("command", "action", "after", "times", "address", "reply",
                              "seconds") if k in cmd})
        return {"ok": True}
    if name == "messages":
        return {"ok": True, "messages": STATE.messages}
    if name == "log":
        return {"ok": True, "log": STATE.log}
    if name == "clear":
        for t in list(STALLED):
            t.abort()
        STALLED.clear()
        STATE.reset_all()
        return {"ok": True}
    return {"ok": False, "error": "unknown command %r" % name}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cert")
    parser.add_argument("--key")
    args = parser.parse_args()
    # Refused handshakes and dropped connections are what the tests make
    # happen: aiosmtpd's tracebacks about them are noise.
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    tls_context = None
    if args.cert:
        tls_context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        tls_context.load_cert_chain(args.cert, args.key)

    plain = loop.run_until_complete(
        loop.create_server(make_factory(tls_context, False), "127.0.0.1", 0))
    ports = {"port": plain.sockets[0].getsockname()[1], "tls_port": 0}
    if tls_context:
        implicit = loop.run_until_complete(
            loop.create_server(make_factory(tls_context, True), "127.0.0.1", 0, ssl=tls_context))
        ports["tls_port"] = implicit.sockets[0].getsockname()[1]
    print(json.dumps(ports), flush=True)

    def read_commands():
        for line in sys.stdin:
            line = line.strip()
            if not line:
                continue
            try:
                reply = asyncio.run_coroutine_threadsafe(command(json.loads(line)), loop).result()
            except Exception as e:  # a broken command is the test's fault: say so
                reply = {"ok": False, "error": repr(e)}
            print(json.dumps(reply), flush=True)
        loop.call_soon_threadsafe(loop.stop)

    threading.Thread(target=read_commands, daemon=True).start()
    loop.run_forever()


if __name__ == "__main__":
    main()
