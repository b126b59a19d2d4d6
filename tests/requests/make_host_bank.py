#!/usr/bin/env python3
"""Writes the host request set (hosts/): what kawari8, YAYA and ninix-kagari send, in the order they
send it, one FAMILY-NN-CASE.request and .response per request.

Each family's session starts with its version probe, then calls every function with texts in the
charset the host speaks to the module in. The expected answers come from Python's codecs. The
files go through the host command like the other sets, and host_conventions_test replays each
family's session through the entry points that host calls. Run it again after changing a case; the
files are committed.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from make_function_bank import BAD, PROSE, VERSION, ok, write_bank  # noqa: E402

BANK = os.path.join(HERE, "hosts")

# Charset as the request spells it -> Python codec for the texts the host sends.
CODECS = {"Shift_JIS": "cp932", "EUC_JP": "euc_jp", "UTF-8": "utf-8"}
# Target names the module takes -> Python codec.
TARGETS = {"Shift_JIS": "cp932", "EUC-JP": "euc_jp", "UTF-8": "utf-8", "JIS": "iso2022_jp",
           "ISO-2022-JP": "iso2022_jp"}
# What "analyze encoding" calls the prose in each charset.
ANALYSIS = {"Shift_JIS": b"Shift_JIS", "EUC_JP": b"EUC-JP", "UTF-8": b"UTF-8"}
# The same charset as an argument: argument names are exact, YAYA's spelling is not one of them.
ARGUMENT_NAME = {"Shift_JIS": b"Shift_JIS", "EUC_JP": b"EUC-JP", "UTF-8": b"UTF-8"}


def lines(*items):
    return b"".join(item + b"\r\n" for item in items) + b"\r\n"


class Family:
    def __init__(self, name, charset, probe_headers, execute_headers):
        self.name, self.charset = name, charset
        self.probe_headers, self.execute_headers = probe_headers, execute_headers

    def probe(self):
        return lines(b"GET Version SAORI/1.0", *self.probe_headers)

    def execute(self, *arguments):
        argument_lines = [b"Argument%d: " % i + value for i, value in enumerate(arguments)]
        return lines(b"EXECUTE SAORI/1.0", *self.execute_headers, *argument_lines)


def family(name, charset, sender, security_level, probe_order):
    charset_line = b"Charset: " + charset.encode()
    sender_line = b"Sender: " + sender.encode()
    probe = [charset_line, sender_line] if probe_order == "charset first" else [sender_line, charset_line]
    execute = [sender_line, charset_line, b"SecurityLevel: " + security_level.encode()]
    return Family(name, charset, probe, execute)


FAMILIES = [
    # kawari8 attaches a module with this probe and drops it unless the answer starts "SAORI/1.".
    family("kawari", "Shift_JIS", "kawari", "Local", "charset first"),
    family("yaya-euc", "EUC_JP", "AYA", "local", "charset first"),
    family("yaya-utf8", "UTF-8", "AYA", "local", "charset first"),
    family("ninix", "UTF-8", "ninix-kagari", "Local", "sender first"),
]


def session(f):
    text = PROSE.encode(CODECS[f.charset])
    own_name = ARGUMENT_NAME[f.charset]
    yield "version", f.probe(), VERSION
    yield "analyze", f.execute(b"analyze encoding", text), ok("UTF-8", ANALYSIS[f.charset])
    yield "analyze-ascii", f.execute(b"analyze encoding", b"Plain text"), ok("UTF-8", b"ANSI")
    for target, codec in TARGETS.items():
        if codec == CODECS[f.charset]:
            continue
        yield "translate-" + target.lower(), f.execute(b"translate", text, own_name, target.encode()), \
            ok(target, PROSE.encode(codec), [target])
    yield "translate-default", f.execute(b"translate", text, own_name), \
        ok("Shift_JIS", PROSE.encode("cp932"), ["Shift_JIS"])
    # semiauto translate reads the source from the request's Charset, as the host spells it.
    for target in ("UTF-8", "EUC-JP", "Shift_JIS"):
        yield "semiauto-" + target.lower(), f.execute(b"semiauto translate", text, target.encode()), \
            ok(target, PROSE.encode(TARGETS[target]), [target])
    yield "semiauto-default", f.execute(b"semiauto translate", text), \
        ok("Shift_JIS", PROSE.encode("cp932"), ["Shift_JIS"])
    yield "auto-utf8", f.execute(b"auto translate", text, b"UTF-8"), ok("UTF-8", PROSE.encode("utf-8"), ["UTF-8"])
    yield "auto-iso2022jp", f.execute(b"auto translate", text, b"ISO-2022-JP"), \
        ok("ISO-2022-JP", PROSE.encode("iso2022_jp"), ["ISO-2022-JP"])
    # A character the target lacks becomes "?".
    lacking = "€と丂"
    yield "translate-replacement", f.execute(b"translate", lacking.encode("utf-8"), b"UTF-8", b"ISO-2022-JP"), \
        ok("ISO-2022-JP", lacking.encode("iso2022_jp", "replace"), ["ISO-2022-JP"])
    yield "translate-unknown-name", f.execute(b"translate", text, own_name, b"SJIS"), BAD
    yield "unknown-function", f.execute(b"convert", text), BAD


def cases():
    for f in FAMILIES:
        for number, (case, request, response) in enumerate(session(f)):
            yield "%s-%02d-%s" % (f.name, number, case), request, response


def main():
    write_bank(BANK, cases())


if __name__ == "__main__":
    main()
