#!/usr/bin/env python3
"""Checks the report of the hostile machine: the format and all 25 sections
(check_report.py, without the normal machine's expected lines), a line for every
bound that cut what the machine holds, printf directives shown as text, and the
faults other branches fix, labelled "[after merge: ...]" so a failure on a
branch without those fixes is told apart.
  check_hostile.py REPORT        the checks, one "ok"/"FAIL" line each
  check_hostile.py --table FILE  the section times of a driver result file
"""
import re
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
import check_report  # noqa: E402

# Each bound that cuts what the hostile machine holds, by the start of its line.
BOUNDS = [
    ("20,000 Chrome profiles", "※プロファイルが多すぎるため一覧を打ち切りました "),
    ("20,000 extension folders", "※拡張機能が多すぎるため一覧を打ち切りました "),
    ("70 versions of one extension", "※バージョンが多すぎるため一覧を打ち切りました "),
    ("20,005 files in one extension", "※ファイルが多すぎるため検索を打ち切りました "),
    ("20 folder levels in one extension", "※フォルダーが深すぎるため検索を打ち切りました "),
    ("manifests and messages beyond 64 KB", "※ファイルが大きすぎるため先頭 "),
    ("20,004 IE add-on keys", "※アドオンが多すぎるため一覧を打ち切りました "),
    ("a native-messaging path naming a pipe that never answers", "★ファイルが読めない path=\\\\.\\pipe\\hostile_nm"),
    ("an Office server path naming that pipe", "Office .docx path=\\\\.\\pipe\\hostile_nm"),
    ("a 33 MB Local State", '※"Local State"ファイルが大きすぎるため読み込まない '),
]
# Exact lines: values of the wrong type read as missing, unterminated texts
# read whole and no further, directives shown as text.
EXACT = [
    "InternetExplorer reg version  , build 99.%n%s表 ",
    '有効, アドオンffffffff, "%n%s%x 表示ソフト ツールバー", %s%n%x%%表ソ',
    '有効, アドオンffffffff, "AB", {0HOSTILE-ZEROTYPE}',
    "File path: \\\\.\\pipe\\hostile_nm ",
]
# The heavy states: the client folder's cut, the device branch and profiles with extensions.
HEAVY = [
    ("12,000 files in the product's client folder", r"^※ .*\\meridan\\lg4lpvc\\\*\.\* は 10000 件を超えるため以降を省略 $"),
    ("20,000 audio endpoints in the dump", r"^\t+ <\{0\.0\.0\.00000000\}\.\{hostile-00000\}> $"),
    ("an extension of the 1,500 profiles", r'^Extension id=heavyext0001 ver=1\.1_0 name="Heavy 1" desk="profile 1" '),
    ("a 70 MB script and a 10 MB messages file", r'^Extension id=heavybig ver=2\.0_0 name="big" desk="big files" finded= '),
]
DEFINITIONS = "●Symantec Norton AntiVirus確認 ver=%s%n表ソ 日付=20"
VANISHED_WINDOW = re.compile(r"^\s*[0-9a-f]+\t0\t0\t0\t0\t0\t0\t\(0,0\)-\(0,0\)")
MODULE_LIST = re.compile(r"^\S*モジュール一覧 (\d+) $")
ODD_HOST = "c:\\hostile%s%n\\表ソ\\表示%n%s.exe"
EXE_MODULE = re.compile(r"^[0-9A-Fa-f]+, [^,]*, (.*?\.exe), ", re.IGNORECASE)


def result(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    return ok


def table(path):
    names = [h.strip() for _, h in check_report.HEADERS]
    for line in Path(path).read_text(encoding="utf-8").splitlines():
        if line.startswith("section-ms: "):
            n, ms = line[len("section-ms: "):].split()
            print("     %2s %7s  %s" % (n, ms, names[int(n) - 1]))


def main(path):
    raw = Path(path).read_bytes()
    errors = check_report.check(path, Path(__file__).parent, decode_errors="replace")
    crlf = [e for e in errors if e.startswith("line ends")]
    errors = [e for e in errors if e not in crlf]
    result(not errors, "the report keeps its format and all 25 sections in order")
    for e in errors:
        print("     " + e)
    result(not crlf, "[after merge: companion] line ends are CR LF throughout")
    levels = check_report.split_report(raw, [], False, "replace")
    user, detail = (levels[0], levels[2]) if levels else ([], [])

    for what, start in BOUNDS:
        result(any(line.startswith(start) for line in detail), "a line says what was cut: %s" % what)
    for line in EXACT:
        result(line in detail, "line as expected: %s" % line)
    for what, pattern in HEAVY:
        result(any(re.search(pattern, line) for line in detail), "heavy machine: %s" % what)
    result(any(line.startswith(DEFINITIONS) for line in user),
           "a 3 MB definitions file in the ANSI code page names its folder: %s" % DEFINITIONS)
    result(any("%s%n%x%%" in line for line in detail),
           "names holding printf directives stand as text (Profile \"%s%n%x%%\")")
    result(any("odd_huge.dll" in line for line in detail) and any("odd_notrans.dll" in line for line in detail),
           "[after merge: windows] the odd modules of the browser-window process are listed, "
           "even when a churning window vanished before it in the walk")

    bad = []
    for number, line in enumerate(raw.split(b"\r\n"), 1):
        try:
            line.decode("cp932")
        except UnicodeDecodeError:
            bad.append((number, line))
    result(not bad, "[after merge: text] every line is whole cp932 (%d are not)" % len(bad))
    for number, line in bad[:3]:
        print("     line %d: %r" % (number, line[:120]))

    # Every module list holds the modules of one process: one program file, and
    # the odd modules only in the list of the process that loaded them.
    wrong = []
    block, exes, odd = None, set(), False
    for line in detail + [""]:
        m = MODULE_LIST.match(line)
        if m or line.startswith("-------------------"):
            if block is not None and (len(exes) > 1 or (odd and exes != {ODD_HOST})):
                wrong.append((block, sorted(exes)))
            block, exes, odd = (m.group(1) if m else None), set(), False
        elif block is not None:
            e = EXE_MODULE.match(line)
            if e:
                exes.add(e.group(1).lower())
            odd = odd or "odd_" in line
    result(not wrong, "[after merge: companion] no module line is filed under another process")
    for block, exes in wrong[:3]:
        print("     the list of process %s holds %s" % (block, exes))
    gone = [line for line in detail if VANISHED_WINDOW.match(line)]
    result(not gone, "[after merge: windows] no line for a window that vanished while it was read")
    for line in gone[:3]:
        print("     %r" % line)
    links_and_forgeries(levels)
    forged = [line for line in detail if "forged" in line and "odd_lines.dll" not in line]
    result(not forged, "[after merge: companion] a line break inside a version text starts no report line")
    for line in forged[:3]:
        print("     %r" % line[:120])


def links_and_forgeries(levels):
    """Registry links and links below an extension named, not followed; outside text holding CR LF
    and a verdict mark (a window title, a program's version texts) stays inside
    the line it was put in, at every level."""
    detail = levels[2] if levels else []
    for link in ("loopA", "loopB"):
        result(detail.count("\t ※レジストリのリンクのため省略 <%s> " % link) >= 1,
               "the registry link %s back to its parent is named, not followed" % link)
    result(any(line.startswith("※リンクのため省略 ") and line.endswith("aalooped\\1.0_0\\up ") for line in detail),
           "the capture-use search does not enter a folder link")
    # A moved profile or extensions folder (a junction) is listed like any other.
    followed = [line for line in detail if line.startswith("※リンクのため省略 ")
                and line.endswith(("Profile 5 ", "Profile 6\\Extensions "))]
    result(not followed and '\nProfile "Profile 5" settings ' in "\n".join(detail),
           "the fixed-depth listings follow folder links")
    shown = [line for level in levels for line in level if "ForgedVerdict" in line]
    result(any("\tClip  ●偽の判定ForgedVerdict  end\t" in line for line in shown),
           "a window title holding CR LF stands in its tree line")
    result(any(line.startswith('"fake_verdict.exe","1.0.0.1","fake_verdict.exe","Forged  ●偽の判定 ForgedVerdict  end"')
               for line in shown), "version texts holding CR LF stand in their process row")
    broken = [line for level in levels for line in level
              if line.lstrip(" \t").startswith(("●偽の判定", "end\t", 'end"', 'Guard"'))]
    result(not broken, "no report line starts where outside text broke a line")
    for line in broken[:3]:
        print("     %r" % line[:120])


if __name__ == "__main__":
    if sys.argv[1] == "--table":
        table(sys.argv[2])
    else:
        main(sys.argv[1])
