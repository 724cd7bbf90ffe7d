#!/usr/bin/python3
"""A loopback SMTP server for the mail tests.

Prints the port it listens on, then keeps every message it accepts in the folder given
with --dir: N.eml holds the data as received (after the end-of-data dot is removed and
dot-stuffing undone) and N.json the envelope. Every accepted connection adds a line to
connections.log, so a test can tell that no connection was made at all.
"""

import argparse
import asyncio
import json
import logging
import os
import signal
import ssl
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Recorder:
    def __init__(self, folder, refused_sender, refused_recipient):
        self.folder = folder
        self.refused_sender = refused_sender
        self.refused_recipient = refused_recipient
        self.count = 0

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if address == self.refused_sender:
            return "553 5.7.1 Sender address rejected"
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.refused_recipient:
            return "550 5.1.1 Recipient address rejected"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        # The file is complete before the reply, so the client's success means it is there.
        self.count += 1
        base = os.path.join(self.folder, str(self.count))
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content)
        with open(base + ".json", "w") as f:
            json.dump(
                {
                    "mail_from": envelope.mail_from,
                    "rcpt_tos": envelope.rcpt_tos,
                    "authenticated": bool(session.authenticated),
                    "greeting": session.host_name or "",
                    "extended": bool(session.extended_smtp),
                },
                f,
            )
        return "250 Message accepted"


class LoggingSMTP(SMTP):
    log_path = None

    def connection_made(self, transport):
        with open(self.log_path, "a") as f:
            f.write("connection\n")
        super().connection_made(transport)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--dir", required=True)
    parser.add_argument("--refuse-sender")
    parser.add_argument("--refuse-recipient", action="append", default=[])
    parser.add_argument("--listen", default="127.0.0.1",
                        help="the loopback address to listen on (127.0.0.1 or ::1)")
    parser.add_argument("--mute", action="store_true",
                        help="accept connections and never answer, to exercise time-outs")
    parser.add_argument("--starttls", nargs=2, metavar=("CERT", "KEY"),
                        help="offer STARTTLS with this certificate")
    parser.add_argument("--require-auth", metavar="USER:PASSWORD",
                        help="advertise AUTH LOGIN and refuse mail without it")
    args = parser.parse_args()
    # Plain-text AUTH on loopback is what the tests want; keep the server's advice quiet.
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)

    LoggingSMTP.log_path = os.path.join(args.dir, "connections.log")
    handler = Recorder(args.dir, args.refuse_sender, args.refuse_recipient)
    options = {}
    if args.require_auth is not None:
        user, _, password = args.require_auth.partition(":")

        def authenticator(server, session, envelope, mechanism, auth_data):
            ok = (
                isinstance(auth_data, LoginPassword)
                and auth_data.login == user.encode()
                and auth_data.password == password.encode()
            )
            return AuthResult(success=ok, handled=False)

        options = dict(
            authenticator=authenticator,
            auth_required=True,
            auth_require_tls=False,
            auth_exclude_mechanism=["PLAIN"],
        )

    if args.starttls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*args.starttls)
        options["tls_context"] = context

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    if args.mute:
        factory = asyncio.Protocol
    else:
        def factory():
            return LoggingSMTP(handler, hostname="mail.test", **options)
    server = loop.run_until_complete(
        loop.create_server(
            factory,
            args.listen,
            args.port,
        )
    )
    print(server.sockets[0].getsockname()[1], flush=True)
    loop.add_signal_handler(signal.SIGTERM, loop.stop)
    try:
        loop.run_forever()
    finally:
        server.close()


if __name__ == "__main__":
    main()
