#!/usr/bin/python3
"""A loopback SMTP server for the mail tests (aiosmtpd).

Prints one JSON object per line on standard output:
  {"event": "listening", "port": N}                 once, when it accepts connections
  {"event": "connect"}                              per connection
  {"event": "command", "name": "EHLO", "arg": ...}  per SMTP command, in order
  {"event": "tls", "version": "TLSv1.3"}            after a STARTTLS handshake
  {"event": "stalled"}                              --stall-data: a message that gets no reply
  {"event": "auth", "mechanism": ..., "login": ..., "password": ..., "success": bool}
  {"event": "message", "mail_from": ..., "rcpt_tos": [...], "data": raw text,
   "subject": ..., "from": ..., "to": ..., "x_mailer": ..., "body": decoded text,
   "tls": bool, "authenticated": bool}
It stops when its standard input closes or it gets SIGTERM.
"""
import argparse
import asyncio
import email
import email.header
import email.policy
import json
import signal
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def emit(obj):
    sys.stdout.write(json.dumps(obj) + "\n")
    sys.stdout.flush()


def text(value):
    if isinstance(value, bytes):
        return value.decode("utf-8", "replace")
    return value if value is not None else ""


class Handler:
    def __init__(self, stall_data=False):
        self.stall_data = stall_data

    async def handle_DATA(self, server, session, envelope):
        if self.stall_data:
            # Takes the message and never answers it.
            emit({"event": "stalled"})
            await asyncio.sleep(3600)
        raw = envelope.content if isinstance(envelope.content, bytes) else envelope.content.encode()
        msg = email.message_from_bytes(raw, policy=email.policy.default)
        body = msg.get_content() if not msg.is_multipart() else ""
        emit({
            "event": "message",
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "data": raw.decode("utf-8", "replace"),
            "subject": str(msg.get("Subject", "")),
            "from": str(msg.get("From", "")),
            "to": str(msg.get("To", "")),
            "x_mailer": str(msg.get("X-Mailer", "")),
            "body": body,
            "tls": session.ssl is not None,
            "authenticated": bool(session.authenticated),
        })
        return "250 Message accepted for delivery"

    def handle_STARTTLS(self, server, session, envelope):
        obj = server.transport.get_extra_info("ssl_object")
        emit({"event": "tls", "version": obj.version() if obj else ""})
        return True


def make_authenticator(user, password):
    def authenticator(server, session, envelope, mechanism, auth_data):
        login = password_ = ""
        if isinstance(auth_data, LoginPassword):
            login, password_ = text(auth_data.login), text(auth_data.password)
        ok = login == user and password_ == password
        emit({"event": "auth", "mechanism": mechanism, "login": login, "password": password_,
              "success": ok})
        return AuthResult(success=ok, handled=False)
    return authenticator


class RecordingSMTP(SMTP):
    async def _record(self, name, arg, method):
        emit({"event": "command", "name": name, "arg": arg})
        return await method(arg)

    async def smtp_EHLO(self, arg):
        return await self._record("EHLO", arg, super().smtp_EHLO)

    async def smtp_HELO(self, arg):
        return await self._record("HELO", arg, super().smtp_HELO)

    async def smtp_STARTTLS(self, arg):
        return await self._record("STARTTLS", arg, super().smtp_STARTTLS)

    async def smtp_AUTH(self, arg):
        # Keep the initial response (credentials) out of the command record.
        mechanism = (arg or "").split(" ")[0]
        emit({"event": "command", "name": "AUTH", "arg": mechanism})
        return await super().smtp_AUTH(arg)

    async def smtp_MAIL(self, arg):
        return await self._record("MAIL", arg, super().smtp_MAIL)

    async def smtp_RCPT(self, arg):
        return await self._record("RCPT", arg, super().smtp_RCPT)

    async def smtp_DATA(self, arg):
        return await self._record("DATA", arg, super().smtp_DATA)

    async def smtp_QUIT(self, arg):
        return await self._record("QUIT", arg, super().smtp_QUIT)


TLS_VERSIONS = {
    "1.2": ssl.TLSVersion.TLSv1_2,
    "1.3": ssl.TLSVersion.TLSv1_3,
}


async def silent_client(reader, writer):
    # Accepts the connection and never answers: not even the greeting.
    emit({"event": "connect"})
    try:
        while await reader.read(4096):
            pass
    except ConnectionError:
        pass
    writer.close()


async def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--cert")
    ap.add_argument("--key")
    ap.add_argument("--tls-min")
    ap.add_argument("--tls-max")
    ap.add_argument("--user")
    ap.add_argument("--password", default="")
    ap.add_argument("--silent", action="store_true")
    ap.add_argument("--stall-data", action="store_true")
    args = ap.parse_args()

    loop = asyncio.get_running_loop()
    if args.silent:
        server = await asyncio.start_server(silent_client, args.host, 0)
    else:
        tls_context = None
        if args.cert:
            tls_context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            tls_context.load_cert_chain(args.cert, args.key)
            if args.tls_min:
                tls_context.minimum_version = TLS_VERSIONS[args.tls_min]
            if args.tls_max:
                tls_context.maximum_version = TLS_VERSIONS[args.tls_max]
        kwargs = {}
        if args.user is not None:
            kwargs["authenticator"] = make_authenticator(args.user, args.password)
            # AUTH is offered on the plain connection too, so a client that skips
            # STARTTLS would be seen sending its password in the clear.
            kwargs["auth_require_tls"] = False
        handler = Handler(args.stall_data)

        def factory():
            emit({"event": "connect"})
            return RecordingSMTP(handler, hostname="duvo-test-smtp", tls_context=tls_context,
                                 loop=loop, **kwargs)
        server = await loop.create_server(factory, args.host, 0)

    port = server.sockets[0].getsockname()[1]
    emit({"event": "listening", "port": port})

    stop = asyncio.Event()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    loop.add_reader(sys.stdin.fileno(), lambda: stop.set() if not sys.stdin.buffer.read1(4096) else None)
    await stop.wait()
    server.close()


if __name__ == "__main__":
    import logging
    logging.disable(logging.CRITICAL)
    asyncio.run(main())
