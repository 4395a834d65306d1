#!/usr/bin/env python3
"""Checks a saved report against the rules every report follows, and against the
expected lines of the fixture machine (tests/e2e/expect/*.txt).

Expectation files are UTF-8; each line is "<level>|<exact line>" where level is
user, support or detail, and the line must stand at that level (and so in every
more detailed one). Lines starting with '#' are comments. A line
"absent|<level>|<text>" says the text must not stand at that level. A line
that starts with "wow64:" or "x64:" holds only for that kind of Report (the
32-bit program under WOW64, or the x64 build), given with --kind.
"""
import re
import sys
from pathlib import Path

HEADERS = [
    ("support", "PrintScreenキー登録確認 "),
    ("support", "OSの確認 "),
    ("detail", "モニターの確認(高DPI対策:無) "),
    ("support", "モニターの確認(高DPI対策:有) WindowRect 比較はこちらの仮想RECTで実施"),
    ("support", "InternetExplorerのバージョン確認 "),
    ("support", "NativeMessagingの確認 "),
    ("support", "Google Chromeのバージョン確認 "),
    ("support", "Microsoft Edgeのバージョン確認 "),
    ("support", "Acrobat/AdobeReaderのバージョン確認 "),
    ("support", "Windows Media Playerのバージョン確認 "),
    ("support", "Microsoft Officeのバージョン確認 "),
    ("support", "DocuWorksのバージョン確認 "),
    ("support", "キャッシュの保存容量"),
    ("support", "メモリの利用状況"),
    ("support", "ブラウザの設定"),
    ("support", "IEアドオンの一覧"),
    ("support", "プロセス一覧"),
    ("support", "セキュリティソフトの種別"),
    ("support", "プリンタの一覧"),
    ("support", "ユーザ権限の確認"),
    ("support", "ブラウザのモジュール/ウィンドウ構成確認 "),
    ("support", "モジュール構成確認 "),
    ("support", "仮想Deviceの確認"),
    ("support", " checkType 端末種類の確認"),
    ("support", " 既定フォルダーの確認 "),
]
RULE = "=" * 38
SEPARATOR = "------------------- "
REMARK = " ※ 複製モニター設定の場合は、メインモニタにまとめて１つの列挙となります。"
LEVELS = ["user", "support", "detail"]


def fail(errors, text):
    errors.append(text)


def split_report(raw, errors, zero_time):
    if b"\r\n" not in raw or raw.replace(b"\r\n", b"").find(b"\n") >= 0 or raw.replace(b"\r\n", b"").find(b"\r") >= 0:
        fail(errors, "line ends are not CR LF throughout")
    if raw.startswith(b"\xef\xbb\xbf") or raw.startswith(b"\xff\xfe"):
        fail(errors, "the file starts with a byte-order mark")
    text = raw.decode("cp932", errors="strict").replace("\r\n", "\n")
    lines = text.split("\n")
    header = lines[0]
    time_re = r"\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3}"
    if zero_time:
        time_re = re.escape("0000/00/00 00:00:00.000")
    if not re.fullmatch(r"\[Report\.exe 1\.7\.27\.0\]調査結果 " + time_re, header):
        fail(errors, "header line is %r" % header)
    banners = []
    for title in ["ユーザ用結果", "サポート用概要", "分析用詳細"]:
        banners.append("\n" + RULE + "\n" + title + "\n" + RULE + "\n")
    rest = text[len(header) + 1:]
    positions = []
    for banner in banners:
        at = rest.find(banner)
        if at < 0:
            fail(errors, "banner missing: %r" % banner)
            return None
        positions.append(at)
    if positions != sorted(positions) or positions[0] != 0:
        fail(errors, "banners out of order or text before the first one")
        return None
    parts = []
    for i, at in enumerate(positions):
        start = at + len(banners[i])
        end = positions[i + 1] if i + 1 < len(positions) else len(rest)
        parts.append(rest[start:end])
    for name, part in zip(LEVELS, parts):
        if part and not part.endswith("\n"):
            fail(errors, "%s text does not end with a line break" % name)
    return [p.split("\n")[:-1] if p else [] for p in parts]


def is_subsequence(small, big):
    it = iter(big)
    return all(any(line == other for other in it) for line in small)


def check(path, expect_dir, zero_time=False, full=True, kind=None):
    errors = []
    raw = Path(path).read_bytes()
    levels = split_report(raw, errors, zero_time)
    if levels is None:
        return errors
    user, support, detail = levels
    if not is_subsequence(user, support):
        fail(errors, "User results are not all in Support summary, in order")
    if not is_subsequence(support, detail):
        fail(errors, "Support summary is not all in Analysis details, in order")
    if SEPARATOR in user or SEPARATOR in support:
        fail(errors, "a section separator stands outside Analysis details")
    if full:
        if detail.count(SEPARATOR) != 25:
            fail(errors, "%d separators in Analysis details, expected 25" % detail.count(SEPARATOR))
        at = 0
        for level, header in HEADERS:
            try:
                at = detail.index(header, at) + 1
            except ValueError:
                fail(errors, "header %r missing or out of order in Analysis details" % header)
            if level == "support" and header not in support:
                fail(errors, "header %r missing in Support summary" % header)
            if level == "detail" and header in support:
                fail(errors, "header %r stands in Support summary" % header)
        if support.count(REMARK) != 1 or detail.count(REMARK) != 2:
            fail(errors, "the monitor remark stands %d/%d times in Support/Analysis, expected 1/2"
                 % (support.count(REMARK), detail.count(REMARK)))
        by_level = dict(zip(LEVELS, levels))
        for expect in sorted(Path(expect_dir).glob("*.txt")):
            for number, line in enumerate(expect.read_text(encoding="utf-8").split("\n"), 1):
                if not line or line.startswith("#"):
                    continue
                only, colon, rest = line.partition(":")
                if colon and only in ("wow64", "x64"):
                    if only != kind:
                        continue
                    line = rest
                absent = line.startswith("absent|")
                if absent:
                    line = line[len("absent|"):]
                level, _, wanted = line.partition("|")
                if level not in by_level:
                    fail(errors, "%s:%d: unknown level %r" % (expect.name, number, level))
                    continue
                present = wanted in by_level[level]
                if present == absent:
                    fail(errors, "%s:%d: %r %s at level %s" % (expect.name, number, wanted,
                                                            "stands" if absent else "missing", level))
    return errors


def main():
    args = sys.argv[1:]
    zero = "--zero-time" in args
    partial = "--partial" in args
    kind = None
    if "--kind" in args:
        at = args.index("--kind")
        kind = args[at + 1]
        del args[at:at + 2]
    args = [a for a in args if not a.startswith("--")]
    errors = check(args[0], args[1] if len(args) > 1 else Path(__file__).parent / "expect", zero, not partial,
                   kind)
    for e in errors:
        print("REPORT CHECK:", e)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
