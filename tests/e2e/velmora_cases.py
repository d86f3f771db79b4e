"""What velmora.exe must do for exact command lines, as seen under Wine.

Each case is the whole lpCommandLine, program-name token included, and one
expected outcome: a box (its text; caption, single OK button, no icon and the
exit code are the same for every box) or a launch (the values the logon call
was given, as Wine traces them). Under Wine the logon call is a stub that
fails without setting an error, and velmora clears the error first, so every
launch exits 0xFFFFFFFF; every box leaves the error 0 under Wine, so every
box exits 0xFFFFFFFF too. A successful start (exit 0) cannot happen here.

Cases with `argument_text` also start echo.exe, velmora's own start-up with a
WinMain that writes out what it receives, with the same command line.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Optional, Union

ARGS = "Invalid Command Line Args."
USER = "Invalid User."
PASSWORD = "Invalid Passowrd."
COMMAND = "Invalid Comand Line Args."


@dataclass(frozen=True)
class Box:
    text: str


@dataclass(frozen=True)
class Launch:
    user: Optional[str]
    domain: Optional[str]
    password: Optional[str]
    command: str
    profile: bool = True        # logon flags LOGON_WITH_PROFILE, else 0
    environment: bool = False   # a non-null environment block


@dataclass(frozen=True)
class VCase:
    id: str
    command_line: bytes
    expect: Union[Box, Launch]
    argument_text: Optional[bytes] = None
    code_page: int = 1252


def _cases(code_page: int, *rows) -> list:
    return [VCase(r[0], r[1], r[2], r[3] if len(r) > 3 else None, code_page) for r in rows]


BOB = Launch("bob", None, "pw", "cmd")

CASES_1252 = _cases(
    1252,
    # -- every outcome a command line can reach -----------------------------
    ("refused_launch", b"velmora.exe /user:bob /password:pw cmd", BOB),
    ("unknown_option", b"velmora.exe /bogus cmd", Box(ARGS)),
    ("switch_without_its_space", b"velmora.exe /waitcmd", Box(ARGS)),
    ("switch_at_the_end", b"velmora.exe /wait", Box(ARGS)),
    ("user_empty", b"velmora.exe /user: cmd", Box(ARGS)),
    ("user_without_following_space", b"velmora.exe /user:bob", Box(ARGS)),
    ("user_unbalanced_quote", b'velmora.exe /user:"bob cmd', Box(ARGS)),
    ("user_only_quotes", b'velmora.exe /user:"" cmd', Box(ARGS)),
    ("password_empty", b"velmora.exe /user:bob /password: cmd", Box(PASSWORD)),
    ("password_unterminated", b"velmora.exe /user:bob /password:pw", Box(ARGS)),

    # -- the values handed to the logon call ---------------------------------
    ("user_only", b"velmora.exe /user:bob cmd", Launch("bob", None, None, "cmd")),
    ("password_only", b"velmora.exe /password:pw cmd", Launch(None, None, "pw", "cmd")),
    ("domain_backslash_user", b"velmora.exe /user:corp\\bob /password:pw cmd",
     Launch("bob", "corp", "pw", "cmd")),
    ("user_at_domain", b"velmora.exe /user:bob@corp.example /password:pw cmd",
     Launch("bob", "corp.example", "pw", "cmd")),
    ("first_separator_splits", b"velmora.exe /user:bob@corp\\x /password:pw cmd",
     Launch("bob", "corp\\x", "pw", "cmd")),
    ("empty_domain", b"velmora.exe /user:\\bob /password:pw cmd",
     Launch("bob", "", "pw", "cmd")),
    ("quoted_user_with_space", b'velmora.exe /user:"PC\\John Smith" /password:pw cmd',
     Launch("John Smith", "PC", "pw", "cmd")),
    ("quoted_run_inside_user", b'velmora.exe /user:corp\\"John Smith" /password:pw cmd',
     Launch("John Smith", "corp", "pw", "cmd")),
    ("password_keeps_quotes", b'velmora.exe /user:bob /password:"p"w" cmd',
     Launch("bob", None, '"p"w"', "cmd")),
    ("noprofile", b"velmora.exe /noprofile /user:bob /password:pw cmd",
     Launch("bob", None, "pw", "cmd", profile=False)),
    ("env", b"velmora.exe /env /user:bob /password:pw cmd",
     Launch("bob", None, "pw", "cmd", environment=True)),
    ("wait", b"velmora.exe /wait /user:bob /password:pw cmd", BOB),
    ("options_in_any_case", b"velmora.exe /NoProfile /ENV /Wait /USER:corp\\bob /PASSWORD:pw cmd",
     Launch("bob", "corp", "pw", "cmd", profile=False, environment=True)),
    # A later /user: without a domain keeps the earlier domain.
    ("repeated_options",
     b"velmora.exe /user:corp\\bob /user:alice /password:one /password:two "
     b"/env /env /noprofile /noprofile cmd",
     Launch("alice", "corp", "two", "cmd", profile=False, environment=True)),
    ("spaces_between_options", b"velmora.exe /user:bob    /password:pw    cmd", BOB),
    ("empty_command", b"velmora.exe /user:bob /password:pw ", Launch("bob", None, "pw", "")),
    ("no_argument_text", b"velmora.exe", Launch(None, None, None, "")),
    ("command_kept_whole", b"velmora.exe /user:bob /password:pw cmd /c  echo /wait /user:x  ",
     Launch("bob", None, "pw", "cmd /c  echo /wait /user:x  ")),
    ("command_only", b'velmora.exe notepad.exe "C:\\a b.txt"',
     Launch(None, None, None, 'notepad.exe "C:\\a b.txt"')),
    ("ansi_code_page_1252", b"velmora.exe /user:bob /password:\x80 \xe9",
     Launch("bob", None, "\u20ac", "\u00e9")),

    # -- cutting the program name off the command line -----------------------
    ("quoted_name_with_space",
     b'"C:\\Program Files\\Velmora\\velmora.exe" /user:bob /password:pw cmd', BOB,
     b"/user:bob /password:pw cmd"),
    ("closing_quote_then_option", b'"C:\\Tools\\velmora.exe"/user:corp\\bob /password:x cmd',
     Launch("bob", "corp", "x", "cmd"), b"/user:corp\\bob /password:x cmd"),
    ("text_after_closing_quote", b'"velmora.exe"x"y" /user:bob',
     Launch(None, None, None, 'x"y" /user:bob'), b'x"y" /user:bob'),
    ("unclosed_quote_takes_all", b'"C:\\Tools\\velmora.exe /user:bob /password:pw cmd',
     Launch(None, None, None, ""), b""),
    ("tab_ends_unquoted_name", b"velmora.exe\t/user:bob /password:pw cmd", BOB,
     b"/user:bob /password:pw cmd"),
    ("control_bytes_after_name", b"velmora.exe \x01\x02\x1f\t /user:bob /password:pw cmd",
     BOB, b"/user:bob /password:pw cmd"),
    ("control_byte_ends_name", b"velmora.exe\x01/user:bob /password:pw cmd", BOB,
     b"/user:bob /password:pw cmd"),
    ("byte_7f_is_not_blank", b"velmora.exe \x7f/user:bob",
     Launch(None, None, None, "\x7f/user:bob"), b"\x7f/user:bob"),
    ("control_bytes_in_command", b"velmora.exe /user:bob /password:pw a\x01\x1fb",
     Launch("bob", None, "pw", "a\x01\x1fb"), b"/user:bob /password:pw a\x01\x1fb"),
    # Under 1252 0x81 is one character: the quote after it closes the name.
    ("byte_81_before_quote_1252", b'"ab\x81" cmd" /user:bob /password:pw cmd',
     Launch(None, None, None, 'cmd" /user:bob /password:pw cmd'),
     b'cmd" /user:bob /password:pw cmd'),
)

CASES_932 = _cases(
    932,
    # A lead byte before the closing quote swallows it, and the name runs to
    # the next quote. (The pair 0x81 0x22 is not valid in 932: Windows hands
    # the program U+30FB for it, i.e. 0x81 0x45, which swallows the quote all
    # the same; echo.exe shows the bytes.)
    ("lead_byte_before_quote", b'"ab\x81" cmd" /user:bob /password:pw cmd', BOB,
     b"/user:bob /password:pw cmd"),
    ("dbcs_pair_in_quoted_name", b'"C:\\\x95\x5c\\velmora.exe" /user:bob /password:pw cmd',
     BOB, b"/user:bob /password:pw cmd"),
    # 0x95 0x5C is one character: its trail byte is no domain separator.
    ("trail_5c_not_split", b"velmora.exe /user:\x95\x5c /password:pw cmd",
     Launch("\u8868", None, "pw", "cmd")),
    ("trail_5c_after_domain", b"velmora.exe /user:corp\\\x95\x5c /password:\x95\x5c cmd \x95\x5c",
     Launch("\u8868", "corp", "\u8868", "cmd \u8868")),
    # Bytes that are invalid in 932 never reach the program as such: the
    # command line passes through UTF-16 on the way and comes back with
    # U+30FB (0x81 0x45) in their place.
    ("unassigned_pair_replaced_before_start", b"velmora.exe /user:\x85\x40 /password:pw cmd",
     Launch("\u30fb", None, "pw", "cmd"), b"/user:\x81\x45 /password:pw cmd"),
    # The single bytes 0xA0 and 0xFD-0xFF do reach the program unchanged, and
    # Wine's conversion rejects them as invalid (Windows maps them to
    # U+F8F0-U+F8F3 and would launch instead). Under Wine they are the only
    # way to reach these three boxes end to end.
    ("wine_invalid_user", b"velmora.exe /user:\xa0 /password:pw cmd", Box(USER),
     b"/user:\xa0 /password:pw cmd"),
    ("wine_invalid_password", b"velmora.exe /user:bob /password:\xfd cmd", Box(PASSWORD)),
    ("wine_invalid_command", b"velmora.exe /user:bob /password:pw c\xfe", Box(COMMAND)),
)
