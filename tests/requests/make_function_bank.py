#!/usr/bin/env python3
"""Writes the function request set (functions/): one NAME.request and NAME.response per case.

The expected conversions come from Python's own codecs, not from morvik, so the bank is an
independent check of the module. Run it again after changing a case; the files are committed.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
BANK = os.path.join(HERE, "functions")

PROSE = "日本語の文章です。漢字とひらがな、カタカナを含みます。"
ASCII = "Plain text, nothing more."


def request(arguments, charset=None, sender="korvel-bank", method="EXECUTE"):
    lines = [f"{method} SAORI/1.0\r\n".encode()]
    if charset is not None:
        lines.append(b"Charset: " + charset.encode() + b"\r\n")
    lines.append(b"Sender: " + sender.encode() + b"\r\n")
    lines.append(b"SecurityLevel: local\r\n")
    for index, value in enumerate(arguments):
        if value is not None:
            lines.append(b"Argument%d: " % index + value + b"\r\n")
    lines.append(b"\r\n")
    return b"".join(lines)


def ok(charset, result=b"", values=()):
    lines = [b"SAORI/1.0 200 OK\r\n", b"Charset: " + charset.encode() + b"\r\n", b"Sender: KORVEL\r\n"]
    if result:
        lines.append(b"Result: " + result + b"\r\n")
    for index, value in enumerate(values):
        lines.append(b"Value%d: " % index + value.encode() + b"\r\n")
    lines.append(b"\r\n")
    return b"".join(lines)


BAD = b"SAORI/1.0 400 Bad Request\r\n\r\n"
VERSION = b"SAORI/1.0 200 OK\r\n\r\n"


def converted(text, to_codec, to_name):
    return ok(to_name, text.encode(to_codec), [to_name])


def b(name):
    return name.encode()


def cases():
    sjis, euc, utf8 = PROSE.encode("cp932"), PROSE.encode("euc_jp"), PROSE.encode("utf-8")
    jis = PROSE.encode("iso2022_jp")
    yield "analyze-sjis", request([b"analyze encoding", sjis]), ok("UTF-8", b"Shift_JIS")
    yield "analyze-euc", request([b"analyze encoding", euc]), ok("UTF-8", b"EUC-JP")
    yield "analyze-utf8", request([b"analyze encoding", utf8]), ok("UTF-8", b"UTF-8")
    yield "analyze-jis", request([b"analyze encoding", jis]), ok("UTF-8", b"JIS")
    yield "analyze-ansi", request([b"analyze encoding", ASCII.encode()]), ok("UTF-8", b"ANSI")
    yield "analyze-empty", request([b"analyze encoding", b""]), ok("UTF-8", b"unknown")
    yield "analyze-absent", request([b"analyze encoding"]), ok("UTF-8", b"unknown")
    # A UTF-16 signature with code units that hold no zero byte: analysis says UTF-16.
    yield "analyze-utf16", request([b"analyze encoding", b"\xff\xfe" + "日本".encode("utf-16-le")]), \
        ok("UTF-8", b"unknown")
    yield "analyze-utf8-bom-before-sjis", request([b"analyze encoding", b"\xef\xbb\xbf" + sjis]), \
        ok("UTF-8", b"UTF-8")

    yield "translate-sjis-utf8", request([b"translate", sjis, b"Shift_JIS", b"UTF-8"]), \
        converted(PROSE, "utf-8", "UTF-8")
    yield "translate-utf8-default", request([b"translate", utf8, b"UTF-8"]), \
        converted(PROSE, "cp932", "Shift_JIS")
    yield "translate-utf8-empty-target", request([b"translate", utf8, b"UTF-8", b""]), \
        converted(PROSE, "cp932", "Shift_JIS")
    yield "translate-euc-sjis", request([b"translate", euc, b"EUC-JP", b"Shift_JIS"]), \
        converted(PROSE, "cp932", "Shift_JIS")
    yield "translate-sjis-euc", request([b"translate", sjis, b"Shift_JIS", b"EUC-JP"]), \
        converted(PROSE, "euc_jp", "EUC-JP")
    yield "translate-euc-jis", request([b"translate", euc, b"EUC-JP", b"JIS"]), \
        converted(PROSE, "iso2022_jp", "JIS")
    yield "translate-jis-utf8", request([b"translate", jis, b"JIS", b"UTF-8"]), \
        converted(PROSE, "utf-8", "UTF-8")
    yield "translate-utf8-iso2022jp", request([b"translate", utf8, b"UTF-8", b"ISO-2022-JP"]), \
        converted(PROSE, "iso2022_jp", "ISO-2022-JP")
    # Half-width katakana: JIS keeps them in an ESC ( I run, ISO-2022-JP makes them full width.
    kana = "ｶﾞｲﾄﾞ".encode("utf-8")
    yield "translate-kana-jis", request([b"translate", kana, b"UTF-8", b"JIS"]), \
        ok("JIS", b"\x1b(I6^2D^\x1b(B", ["JIS"])
    yield "translate-kana-iso2022jp", request([b"translate", kana, b"UTF-8", b"ISO-2022-JP"]), \
        converted("ガイド", "iso2022_jp", "ISO-2022-JP")
    # JIS X 0212 in EUC-JP: kept by UTF-8, replaced by Shift_JIS.
    yield "translate-jisx0212-utf8", request([b"translate", b"\x8f\xb0\xa1", b"EUC-JP", b"UTF-8"]), \
        ok("UTF-8", "丂".encode("utf-8"), ["UTF-8"])
    yield "translate-jisx0212-sjis", request([b"translate", b"\x8f\xb0\xa1", b"EUC-JP", b"Shift_JIS"]), \
        ok("Shift_JIS", b"?", ["Shift_JIS"])
    yield "translate-utf8-jisx0212-iso2022jp", request([b"translate", "丂".encode(), b"UTF-8", b"ISO-2022-JP"]), \
        ok("ISO-2022-JP", b"?", ["ISO-2022-JP"])
    yield "translate-empty-text", request([b"translate", b"", b"Shift_JIS", b"UTF-8"]), ok("UTF-8", b"", ["UTF-8"])
    yield "translate-same-encoding", request([b"translate", b"\x82\xa0\xff", b"Shift_JIS", b"Shift_JIS"]), \
        ok("Shift_JIS", b"\x82\xa0\xff", ["Shift_JIS"])
    yield "translate-lower-case-name", request([b"translate", sjis, b"shift_jis", b"UTF-8"]), BAD
    yield "translate-ansi-source", request([b"translate", sjis, b"ANSI", b"UTF-8"]), BAD
    yield "translate-no-source", request([b"translate", sjis, b"", b"UTF-8"]), BAD
    yield "translate-bad-target", request([b"translate", sjis, b"Shift_JIS", b"UTF8"]), BAD
    yield "translate-both-bad", request([b"translate", sjis, b"X", b"Y"]), BAD

    yield "semiauto-euc-default", request([b"semiauto translate", euc], charset="EUC-JP"), \
        converted(PROSE, "cp932", "Shift_JIS")
    yield "semiauto-sjis-utf8", request([b"semiauto translate", sjis, b"UTF-8"], charset="Shift_JIS"), \
        converted(PROSE, "utf-8", "UTF-8")
    # YAYA spells the request's Charset "EUC_JP"; as an argument the name stays exact.
    yield "semiauto-yaya-euc-charset", request([b"semiauto translate", euc, b"UTF-8"], charset="EUC_JP"), \
        converted(PROSE, "utf-8", "UTF-8")
    yield "semiauto-yaya-euc-target", request([b"semiauto translate", utf8, b"EUC_JP"], charset="UTF-8"), BAD
    yield "translate-yaya-euc-source", request([b"translate", euc, b"EUC_JP", b"UTF-8"]), BAD
    yield "semiauto-euc-charset-lower-case", request([b"semiauto translate", euc], charset="euc_jp"), BAD
    yield "semiauto-no-charset", request([b"semiauto translate", sjis]), BAD
    yield "semiauto-empty-charset", request([b"semiauto translate", sjis], charset=""), BAD
    yield "semiauto-ansi-charset", request([b"semiauto translate", sjis], charset="ANSI"), BAD
    yield "semiauto-bad-target", request([b"semiauto translate", sjis, b"ANSI"], charset="Shift_JIS"), BAD

    yield "auto-utf8-default", request([b"auto translate", utf8]), converted(PROSE, "cp932", "Shift_JIS")
    yield "auto-sjis-euc", request([b"auto translate", sjis, b"EUC-JP"]), converted(PROSE, "euc_jp", "EUC-JP")
    yield "auto-euc-utf8", request([b"auto translate", euc, b"UTF-8"]), converted(PROSE, "utf-8", "UTF-8")
    yield "auto-jis-sjis", request([b"auto translate", jis, b"Shift_JIS"]), converted(PROSE, "cp932", "Shift_JIS")
    yield "auto-ansi-target", request([b"auto translate", utf8, b"ANSI"]), BAD
    # Only the first 8192 bytes decide; the whole text is converted.
    head = b"x" * 8192
    yield "auto-ascii-head", request([b"auto translate", head + utf8]), ok("Shift_JIS", head + utf8, ["Shift_JIS"])
    yield "auto-utf8-head", request([b"auto translate", utf8 + head + utf8, b"EUC-JP"]), \
        ok("EUC-JP", euc + head + euc, ["EUC-JP"])

    yield "unknown-function", request([b"Translate", sjis, b"Shift_JIS", b"UTF-8"]), BAD
    yield "no-function", request([]), BAD
    yield "version-probe", b"GET Version SAORI/1.0\r\n\r\n", VERSION
    yield "charset-echo-on-error", request([b"translate", sjis, b"Shift_JIS", b"EUC"], charset="UTF-8"), BAD


def write_bank(default_bank, cases):
    """Writes (name, request, response) cases as NAME.request and NAME.response, replacing what
    the folder held. The test that the committed files are current names a folder of its own."""
    bank = sys.argv[1] if len(sys.argv) > 1 else default_bank
    os.makedirs(bank, exist_ok=True)
    for name in os.listdir(bank):
        os.remove(os.path.join(bank, name))
    count = 0
    for name, req, resp in cases:
        with open(os.path.join(bank, name + ".request"), "wb") as f:
            f.write(req)
        with open(os.path.join(bank, name + ".response"), "wb") as f:
            f.write(resp)
        count += 1
    print(f"wrote {count} cases to {bank}", file=sys.stderr)


def main():
    write_bank(BANK, cases())


if __name__ == "__main__":
    main()
